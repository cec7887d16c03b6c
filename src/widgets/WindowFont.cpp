#include "widgets/WindowFont.h"

#include <QFontDatabase>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

QString family()
{
    const QStringList families = QFontDatabase::families();
    for (const QString& candidate : {u"ＭＳ ゴシック"_s, u"MS Gothic"_s, u"IPAGothic"_s,
                                     u"IPAゴシック"_s, u"Noto Sans Mono CJK JP"_s}) {
        if (families.contains(candidate))
            return candidate;
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

QFont make(int pixelSize, bool boldWeight)
{
    // Pixel sizes, not points: the layout is in pixels at 15 twips a pixel (96 dpi),
    // and a screen of another resolution must not push text out of its boxes.
    QFont font(family());
    font.setPixelSize(pixelSize);
    font.setBold(boldWeight);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

} // namespace

namespace WindowFont {

QFont regular()
{
    return make(12, false); // 9 pt
}

QFont bold()
{
    return make(12, true);
}

QFont tilde()
{
    return make(19, true); // 14.25 pt
}

} // namespace WindowFont
