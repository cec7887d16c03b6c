#include "auxwin/AboutText.h"

#include "auxwin/AboutConfig.h"
#include "store/ProgramVersion.h"

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
    const QStringList lines{
        QString(),
        u"\u3000\u3000Netroscope  \u3000バージョン\u3000"_s + programVersion(major, minor),
        QString(),
        texts.author,
        texts.contact,
        homepageLabel(),
        QString(),
        texts.notice,
    };
    return lines.join(u"\r\n"_s) + u"\r\n"_s;
}
