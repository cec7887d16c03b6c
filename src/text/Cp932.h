#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (Microsoft's Shift-JIS) is the encoding of every file the program
// reads or writes and of the byte widths in the survey list. The conversion lives
// behind this seam because it depends on the platform: Qt's ICU-backed converter
// on Linux, the system's own code page conversion on Windows.
namespace Cp932 {

// False when the platform offers no code page 932 conversion at all.
bool available();

// For tests: makes available() answer false, as on a system without the converter.
void simulateMissingConverter(bool missing);

// A character the code page cannot hold becomes "?", one byte, as Windows writes it.
QByteArray encode(QStringView text);

// Bytes that are not code page 932 decode to a replacement character (U+FFFD; ICU
// gives U+001A for a single byte outside the table). A lead byte left without its
// trail byte at the end is dropped.
QString decode(QByteArrayView bytes);

// The same, and `whole` tells whether every byte was code page 932 text: false where
// a byte was replaced or a lead byte at the end was dropped, so that the text would
// not give back the same bytes.
QString decode(QByteArrayView bytes, bool* whole);

} // namespace Cp932
