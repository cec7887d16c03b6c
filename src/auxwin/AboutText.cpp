#include "auxwin/AboutText.h"

#include "auxwin/AboutConfig.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

AboutTexts configuredAboutTexts()
{
    return {QString::fromUtf16(NETROSCOPE_ABOUT_AUTHOR),
            QString::fromUtf16(NETROSCOPE_ABOUT_CONTACT),
            QString::fromUtf16(NETROSCOPE_ABOUT_NOTICE), QString::fromUtf16(NETROSCOPE_HOMEPAGE)};
}

QString homepageLabel()
{
    return u"\u3000\u3000ＨＰ\u3000："_s;
}

QString versionTitle(int major, int minor, const AboutTexts& texts)
{
    const QString version = QString::number(major) + u'.' + u"%1"_s.arg(minor, 2, 10, QChar(u'0'));
    const QStringList lines{
        QString(),     u"\u3000\u3000Netroscope  \u3000バージョン\u3000"_s + version,
        QString(),     texts.author,
        texts.contact, homepageLabel(),
        QString(),     texts.notice,
    };
    return lines.join(u"\r\n"_s) + u"\r\n"_s;
}
