#pragma once

#include <QStyledItemDelegate>

// Paints a survey row exactly as the default delegate does, and on a row that
// ChangeMarkModel marks adds the mark: a tint and a thin band in the kind's colour,
// and after the text a badge with the kind's own character, so that the kinds differ
// in shape as well as in colour. The text and its columns stay where they were.
class ChangeMarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
