#pragma once

#include <QWidget>

// The windows are laid out in twips, as their design gives them: 15 to a pixel at
// the 96 dpi their fonts are sized for.
namespace Twips {

constexpr int px(int twips)
{
    return twips / 15;
}

inline void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(px(left), px(top), px(width), px(height));
}

} // namespace Twips
