#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Text rules shared by the parsers of every platform.
namespace ProbeText {

// "00-00-00-00-00-00": what the adapter fallback answers when it finds nothing.
inline constexpr QStringView kZeroMac = u"00-00-00-00-00-00";

// The lines of a tool's output; a line ends at CR LF, LF or CR.
QStringList lines(QStringView text);

// The blank-separated fields of a line (blanks, tabs), empty ones dropped.
QStringList fields(QStringView line);

// True when the line names `ip` as a whole field: the text is not part of a longer
// address or name, so a line about 192.168.0.17 does not name 192.168.0.1.
bool namesAddress(QStringView line, QStringView ip);

// Six groups of two hexadecimal digits joined by ":" or "-" become the program's
// MAC text (upper case, "-"); anything else gives the empty text.
QString normaliseMac(QStringView text);

// An address text that may be handed to a tool as its one operand: not empty, not
// an option (leading "-", or "/" for Windows' tools), no blanks and no control
// characters.
bool isSafeOperand(QStringView text);

// A resolver name made safe for the list rows: commas, line breaks, NUL and other
// control characters, and invisible format characters are dropped, as are blanks
// around the name. Names in
// two-byte characters stay as they are.
QString cleanHostName(QStringView name);

// A name a host on the LAN gave for itself, cleaned as a resolver name is; empty when
// it could be no host name and may be a trap: it holds a comma, a double quote or a
// control character, or starts with "=", "+", "-" or "@", which a spreadsheet opening
// the CSV file or the log would evaluate as a formula.
QString lanHostName(QStringView name);

} // namespace ProbeText
