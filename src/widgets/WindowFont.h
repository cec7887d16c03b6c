#pragma once

#include <QFont>

// The survey list lines its columns up only in a fixed-pitch face in which a
// full-width character is exactly two half-width cells.
namespace WindowFont {

// "ＭＳ ゴシック" where the system has it, otherwise IPAGothic; 9 point at the 96 dpi
// the window's layout is measured in.
QFont regular();
QFont bold();
QFont tilde(); // the large "～" between the start and the end address

} // namespace WindowFont
