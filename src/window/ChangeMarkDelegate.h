#pragma once

#include "survey/ListChanges.h"

#include <QFont>
#include <QStyledItemDelegate>

#include <map>

// A kind's character and the font it is painted in: the list's face, large enough that
// the character itself stands as tall as the list font's pixel size. At the list's own
// size a kanji's strokes fill only some nine tenths of that, too little to be read.
struct ChangeMarkGlyph {
    QString symbol;
    QFont font;
};
ChangeMarkGlyph changeMarkGlyph(ListChange::Kind kind, const QFont& listFont);

// Paints a survey row exactly as the default delegate does, and on a row that
// ChangeMarkModel marks adds the mark: a tint and a thin band in the kind's colour,
// and after the text the kind's own character in a deeper shade of it (a lighter one
// on a dark list), so that the kinds differ in shape as well as in colour. The text
// and its columns stay where they were, and so does the row's height.
class ChangeMarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    // The glyph is sized by measuring it at growing sizes: done once per kind and list
    // font, not for every row at every repaint.
    const ChangeMarkGlyph& glyphFor(ListChange::Kind kind, const QFont& listFont) const;

    mutable QFont m_glyphsFont;
    mutable std::map<ListChange::Kind, ChangeMarkGlyph> m_glyphs;
};
