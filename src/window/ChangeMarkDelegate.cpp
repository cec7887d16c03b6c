#include "window/ChangeMarkDelegate.h"

#include "survey/ListChanges.h"
#include "window/ChangeMarkModel.h"

#include <QApplication>
#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Look {
    QColor colour;
    QColor ink; // the character on a light list; on a dark one the colour itself, lifted
    qreal tint; // how much of the colour the row's background takes
    QString symbol;
};

// Colours from a palette that colour-blind readers tell apart, and a different
// character for each kind for those who cannot tell them at all. Grey, which has no
// hue, and yellow, which is nearly as light as white, need more of themselves in the
// tint to show on a white list.
Look lookOf(ListChange::Kind kind)
{
    switch (kind) {
    case ListChange::Kind::New:
        return {QColor(0x00, 0x9E, 0x73), QColor(0x00, 0x5E, 0x44), 0.16, u"新"_s};
    case ListChange::Kind::Gone:
        return {QColor(0x6E, 0x6E, 0x6E), QColor(0x30, 0x30, 0x30), 0.34, u"無"_s};
    case ListChange::Kind::Changed:
        return {QColor(0xD5, 0x5E, 0x00), QColor(0x99, 0x40, 0x00), 0.16, u"替"_s};
    case ListChange::Kind::Renamed:
        return {QColor(0x00, 0x72, 0xB2), QColor(0x00, 0x4C, 0x7A), 0.16, u"名"_s};
    case ListChange::Kind::Moved:
        break;
    }
    return {QColor(0xE6, 0x9F, 0x00), QColor(0x7A, 0x52, 0x00), 0.22, u"移"_s};
}

QColor blend(const QColor& over, const QColor& under, qreal amount)
{
    return QColor::fromRgbF(float(over.redF() * amount + under.redF() * (1 - amount)),
                            float(over.greenF() * amount + under.greenF() * (1 - amount)),
                            float(over.blueF() * amount + under.blueF() * (1 - amount)));
}

} // namespace

ChangeMarkGlyph changeMarkGlyph(ListChange::Kind kind, const QFont& listFont)
{
    ChangeMarkGlyph glyph{lookOf(kind).symbol, listFont};
    const int wanted = QFontInfo(listFont).pixelSize();
    const auto tall = [&glyph] {
        return QFontMetrics(glyph.font).tightBoundingRect(glyph.symbol).height();
    };
    for (int size = wanted; size < 2 * wanted && tall() < wanted;)
        glyph.font.setPixelSize(++size);
    return glyph;
}

const ChangeMarkGlyph& ChangeMarkDelegate::glyphFor(ListChange::Kind kind,
                                                    const QFont& listFont) const
{
    if (listFont != m_glyphsFont) {
        m_glyphs.clear();
        m_glyphsFont = listFont;
    }
    auto known = m_glyphs.find(kind);
    if (known == m_glyphs.end())
        known = m_glyphs.emplace(kind, changeMarkGlyph(kind, listFont)).first;
    return known->second;
}

void ChangeMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    const QVariant kind = index.data(ChangeMarkModel::KindRole);
    if (!kind.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const Look look = lookOf(ListChange::Kind(kind.toInt()));
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool selected = opt.state & QStyle::State_Selected;
    // Under the selection's own colour a tint would be lost; the band and mark stay.
    if (!selected)
        opt.backgroundBrush = blend(look.colour, opt.palette.color(QPalette::Base), look.tint);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    const QRect row = opt.rect;
    // Inside the style's text margin, which is wider than the band.
    painter->fillRect(QRect(row.left(), row.top(), 2, row.height()), look.colour);

    const QRect textArea = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const int textEnd = textArea.left() + margin + opt.fontMetrics.horizontalAdvance(opt.text);
    const ChangeMarkGlyph& glyph = glyphFor(ListChange::Kind(kind.toInt()), opt.font);
    const QFontMetrics glyphMetrics(glyph.font);
    const QRect strokes = glyphMetrics.tightBoundingRect(glyph.symbol);
    const int side = std::max(glyphMetrics.horizontalAdvance(glyph.symbol), strokes.width());
    const int noteWidth = opt.fontMetrics.horizontalAdvance(u"※"_s) + 3;
    // One column of marks at the row's right end, where a blank MAC leaves them too;
    // a row wider than the view pushes its mark along rather than cover its text.
    const int left = std::max(textEnd + opt.fontMetrics.horizontalAdvance(u' '),
                              row.right() - margin - noteWidth - side);
    // The strokes themselves centred on the row: the font's line is taller than the
    // row, and centring that would push a stroke into the next row.
    const int baseline = row.top() + (row.height() - strokes.height()) / 2 - strokes.top();
    painter->setFont(glyph.font);
    const bool dark = opt.palette.color(QPalette::Base).lightnessF() < 0.5;
    const QColor ink = dark ? look.colour.lighter(150) : look.ink;
    painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : ink);
    painter->drawText(QPoint(left + (side - strokes.width()) / 2 - strokes.left(), baseline),
                      glyph.symbol);
    if (index.data(ChangeMarkModel::LocalMacRole).toBool()) {
        // A randomised or hand-set MAC: the note mark after the kind's.
        const QRect note(left + side + 3, row.top(), noteWidth, row.height());
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(note, Qt::AlignLeft | Qt::AlignVCenter, u"※"_s);
    }
    painter->restore();
}
