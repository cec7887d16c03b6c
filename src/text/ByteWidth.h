#pragma once

#include <QString>

// Byte-wise text functions over code page 932, the widths the survey list is laid
// out in: one byte for ASCII and half-width katakana, two for other characters.
namespace MMojiKakucyo {

// The number of code page 932 bytes the text occupies.
int AnsiLenB(QStringView text);

// The text of the bytes from 1-based byte position `start` on, at most `count` of
// them. A cut inside a two-byte character drops the half character.
QString AnsiMidB(QStringView text, int start, int count);

} // namespace MMojiKakucyo

using MMojiKakucyo::AnsiLenB;
using MMojiKakucyo::AnsiMidB;
