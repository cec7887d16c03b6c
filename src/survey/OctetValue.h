#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The eight octet boxes of the survey range are free text; these functions give them
// their number the way the program has always read them (the BASIC Val rule), round
// the last octets, check the ranges and build the address prefix.
namespace OctetValue {

// The number at the start of the text. Blanks, tabs and line feeds are ignored wherever
// they stand. The rest is read as a decimal number with optional sign, fraction and
// exponent (E or D), or, after &H or &O in either case, as a hexadecimal or octal
// integer. Reading stops at the first character that cannot continue the number; no
// leading number gives 0.
//
// A radix number of at most 16 bits is a signed 16-bit value and one of at most 32 bits
// a signed 32-bit value, as Val gives them (&HFFFF is -1, &H10000 is 65536); anything
// longer keeps its plain unsigned value. A decimal number too large for a double is
// infinite. Either way such values lie outside every octet range.
double Val(QStringView text);

// The nearest integer; a value exactly halfway goes to the even neighbour (2.5 gives 2,
// 3.5 gives 4).
double roundHalfEven(double value);

// The last octet a validated box stands for.
int octetNumber(QStringView text);

// Allowed values of box `index` (0 to 7): 1 to 254 for the last octets (3 and 7),
// 0 to 255 for the others. A value that is not a whole number is outside every range:
// an address cannot be built from "1.5".
bool inRange(int index, double value);

// The index of the first box, in the order 0 to 7, whose value is out of its range, or
// -1 when all are in range. Missing boxes count as empty text.
int firstOutOfRange(const QStringList& boxes);

// The shortest decimal form of a value: "010" contributes 10, "&HFF" 255.
QString shortestDecimal(double value);

// The three fixed octets of a survey, each followed by ".": boxes 0 to 2 in their
// shortest decimal form.
QString prefixText(QStringView box0, QStringView box1, QStringView box2);

// The first three octet texts of an address, the range's fixed boxes as a survey of
// the PC's own /24 proposes them: the text between its dots, or nothing where a dot is
// missing (no own address).
QStringList octetTexts(const QString& ip);

// The text of the box that refuses an out-of-range octet, titled "調査中止".
QString rangeMessage();

} // namespace OctetValue
