#include "window/ChangeMarkDelegate.h"

#include "survey/ListChanges.h"
#include "window/ChangeMarkModel.h"

#include <QApplication>
#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Look {
    QColor colour;
    QColor ink; // the badge's character on that colour
    QString symbol;
};

// Colours from a palette that colour-blind readers tell apart, and a different
// character for each kind for those who cannot tell them at all.
Look lookOf(ListChange::Kind kind)
{
    switch (kind) {
    case ListChange::Kind::New:
        return {QColor(0x00, 0x9E, 0x73), Qt::white, u"新"_s};
    case ListChange::Kind::Gone:
        return {QColor(0x6E, 0x6E, 0x6E), Qt::white, u"無"_s};
    case ListChange::Kind::Changed:
        return {QColor(0xD5, 0x5E, 0x00), Qt::white, u"替"_s};
    case ListChange::Kind::Renamed:
        return {QColor(0x00, 0x72, 0xB2), Qt::white, u"名"_s};
    case ListChange::Kind::Moved:
        break;
    }
    return {QColor(0xE6, 0x9F, 0x00), Qt::black, u"移"_s};
}

QColor blend(const QColor& over, const QColor& under, qreal amount)
{
    return QColor::fromRgbF(float(over.redF() * amount + under.redF() * (1 - amount)),
                            float(over.greenF() * amount + under.greenF() * (1 - amount)),
                            float(over.blueF() * amount + under.blueF() * (1 - amount)));
}

} // namespace

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
    // Under the selection's own colour a tint would be lost; the band and badge stay.
    if (!selected)
        opt.backgroundBrush = blend(look.colour, opt.palette.color(QPalette::Base), 0.16);
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
    const int side = std::max(row.height() - 2, opt.fontMetrics.height());
    const int noteWidth = opt.fontMetrics.horizontalAdvance(u"※"_s) + 3;
    // One column of badges at the row's right end, where a blank MAC leaves them too;
    // a row wider than the view pushes its badge along rather than cover its text.
    const int left = std::max(textEnd + opt.fontMetrics.horizontalAdvance(u' '),
                              row.right() - margin - noteWidth - side);
    QRect badge(left, row.top(), side, side);
    badge.moveCenter(QPoint(badge.center().x(), row.center().y()));

    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(selected ? QPen(opt.palette.color(QPalette::HighlightedText), 1)
                             : QPen(Qt::NoPen));
    painter->setBrush(look.colour);
    painter->drawRoundedRect(QRectF(badge).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->setFont(opt.font);
    painter->setPen(look.ink);
    painter->drawText(badge, Qt::AlignCenter, look.symbol);
    if (index.data(ChangeMarkModel::LocalMacRole).toBool()) {
        // A randomised or hand-set MAC: the note mark after the badge.
        const QRect note(badge.right() + 3, row.top(), noteWidth, row.height());
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(note, Qt::AlignLeft | Qt::AlignVCenter, u"※"_s);
    }
    painter->restore();
}
