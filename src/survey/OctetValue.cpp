#include "survey/OctetValue.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace OctetValue {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int radix)
{
    int d = -1;
    if (isDigit(c))
        d = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c.unicode() - u'A' + 10;
    return d < radix ? d : -1;
}

// Val reads &H and &O numbers as the smallest signed integer type they fit.
double radixValue(const std::u16string& s, std::size_t pos, int radix)
{
    std::uint64_t value = 0;
    bool overflow = false;
    for (; pos < s.size(); ++pos) {
        const int d = digitValue(QChar(s[pos]), radix);
        if (d < 0)
            break;
        if (value > (UINT64_MAX - std::uint64_t(d)) / std::uint64_t(radix))
            overflow = true;
        value = value * std::uint64_t(radix) + std::uint64_t(d);
    }
    if (overflow)
        return HUGE_VAL;
    if (value <= 0xFFFFu)
        return double(std::int16_t(std::uint16_t(value)));
    if (value <= 0xFFFFFFFFu)
        return double(std::int32_t(std::uint32_t(value)));
    return double(value);
}

} // namespace

double Val(QStringView text)
{
    std::u16string s;
    s.reserve(std::size_t(text.size()));
    for (QChar c : text) {
        if (!isBlank(c))
            s.push_back(c.unicode());
    }

    if (s.size() >= 2 && s[0] == u'&') {
        const char16_t kind = s[1];
        if (kind == u'H' || kind == u'h')
            return radixValue(s, 2, 16);
        if (kind == u'O' || kind == u'o')
            return radixValue(s, 2, 8);
        return 0.0;
    }

    // Collect the longest prefix that reads as a decimal number, in the C locale's
    // form, and let strtod do the conversion so that the rounding is exact.
    std::string number;
    std::size_t pos = 0;
    auto take = [&](auto pred) {
        std::size_t n = 0;
        while (pos < s.size() && pred(QChar(s[pos]))) {
            number.push_back(char(s[pos]));
            ++pos;
            ++n;
        }
        return n;
    };
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-'))
        number.push_back(char(s[pos++]));
    std::size_t digits = take(isDigit);
    if (pos < s.size() && s[pos] == u'.') {
        number.push_back('.');
        ++pos;
        digits += take(isDigit);
    }
    if (digits == 0)
        return 0.0;
    if (pos < s.size() && (s[pos] == u'E' || s[pos] == u'e' || s[pos] == u'D' || s[pos] == u'd')) {
        std::size_t after = pos + 1;
        std::string exponent = "e";
        if (after < s.size() && (s[after] == u'+' || s[after] == u'-'))
            exponent.push_back(char(s[after++]));
        if (after < s.size() && isDigit(QChar(s[after]))) {
            while (after < s.size() && isDigit(QChar(s[after])))
                exponent.push_back(char(s[after++]));
            number += exponent;
        }
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return value == 0.0 ? 0.0 : value; // no negative zero: "-0" is written as 0
}

double roundHalfEven(double value)
{
    // The default floating-point rounding mode is to nearest, ties to even.
    return std::nearbyint(value);
}

int octetNumber(QStringView text)
{
    const double value = roundHalfEven(Val(text));
    if (!(value >= -2147483648.0 && value <= 2147483647.0))
        return 0;
    return int(value);
}

bool inRange(int index, double value)
{
    const bool lastOctet = index == 3 || index == 7;
    const double low = lastOctet ? 1 : 0;
    const double high = lastOctet ? 254 : 255;
    return value >= low && value <= high && value == std::floor(value);
}

int firstOutOfRange(const QStringList& boxes)
{
    for (int index = 0; index < 8; ++index) {
        const QString text = index < boxes.size() ? boxes.at(index) : QString();
        if (!inRange(index, Val(text)))
            return index;
    }
    return -1;
}

QString shortestDecimal(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString prefixText(QStringView box0, QStringView box1, QStringView box2)
{
    return shortestDecimal(Val(box0)) + u'.' + shortestDecimal(Val(box1)) + u'.' +
           shortestDecimal(Val(box2)) + u'.';
}

QStringList octetTexts(const QString& ip)
{
    const qsizetype d1 = ip.indexOf(u'.');
    if (d1 < 0)
        return {};
    const qsizetype d2 = ip.indexOf(u'.', d1 + 1);
    if (d2 < 0)
        return {};
    const qsizetype d3 = ip.indexOf(u'.', d2 + 1);
    if (d3 < 0)
        return {};
    return {ip.left(d1), ip.mid(d1 + 1, d2 - d1 - 1), ip.mid(d2 + 1, d3 - d2 - 1)};
}

QString rangeMessage()
{
    return QStringLiteral(u"アドレスの入力は以下の範囲にして下さい\r\n"
                          u"\r\n"
                          u"　　第１キー：０～２５５\r\n"
                          u"　　第２キー：０～２５５\r\n"
                          u"　　第３キー：０～２５５\r\n"
                          u"　　第４キー：１～２５４\r\n");
}

} // namespace OctetValue
