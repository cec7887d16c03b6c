#include "survey/OctetValue.h"

#include <QTest>

#include <cmath>

using namespace Qt::Literals::StringLiterals;
using namespace OctetValue;

class TestOctetValue : public QObject {
    Q_OBJECT
private slots:
    void val_data();
    void val();
    void valOfHugeNumbersIsOutOfEveryRange();
    void rounding_data();
    void rounding();
    void firstOutOfRange_data();
    void firstOutOfRange();
    void prefix_data();
    void prefix();
    void rangeMessageText();
};

void TestOctetValue::val_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("leading zero") << u"010"_s << 10.0;
    QTest::newRow("blanks anywhere") << u" 1 2 "_s << 12.0;
    QTest::newRow("tab and line feed") << u"\t2\n5"_s << 25.0;
    QTest::newRow("blank between sign and digits") << u"- 5"_s << -5.0;
    QTest::newRow("fraction") << u"1.5"_s << 1.5;
    QTest::newRow("fraction without integer part") << u".5"_s << 0.5;
    QTest::newRow("negative") << u"-1"_s << -1.0;
    QTest::newRow("plus sign") << u"+5"_s << 5.0;
    QTest::newRow("exponent") << u"1e2"_s << 100.0;
    QTest::newRow("exponent D upper case") << u"1D2"_s << 100.0;
    QTest::newRow("negative exponent") << u"25E-1"_s << 2.5;
    QTest::newRow("exponent without digits stops") << u"7e"_s << 7.0;
    QTest::newRow("exponent sign without digits stops") << u"7e+x"_s << 7.0;
    QTest::newRow("second point stops") << u"1.2.3"_s << 1.2;
    QTest::newRow("hexadecimal") << u"&HFF"_s << 255.0;
    QTest::newRow("hexadecimal lower case") << u"&hff"_s << 255.0;
    QTest::newRow("hexadecimal with blanks") << u"& H 1 F"_s << 31.0;
    QTest::newRow("hexadecimal stops at non-digit") << u"&H1G"_s << 1.0;
    QTest::newRow("octal lower case") << u"&o17"_s << 15.0;
    QTest::newRow("octal stops at 8") << u"&O78"_s << 7.0;
    QTest::newRow("16-bit hexadecimal is signed") << u"&HFFFF"_s << -1.0;
    QTest::newRow("17 bits is a long") << u"&H10000"_s << 65536.0;
    QTest::newRow("32-bit hexadecimal is signed") << u"&HFFFFFFFF"_s << -1.0;
    QTest::newRow("16-bit octal is signed") << u"&O177777"_s << -1.0;
    QTest::newRow("radix prefix without digits") << u"&H"_s << 0.0;
    QTest::newRow("ampersand alone") << u"&"_s << 0.0;
    QTest::newRow("unknown radix") << u"&X1"_s << 0.0;
    QTest::newRow("sign before radix prefix") << u"-&H1"_s << 0.0;
    QTest::newRow("letters") << u"abc"_s << 0.0;
    QTest::newRow("number then letters") << u"12abc"_s << 12.0;
    QTest::newRow("comma is not a decimal point") << u"1,5"_s << 1.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("point alone") << u"."_s << 0.0;
    QTest::newRow("sign alone") << u"-"_s << 0.0;
    QTest::newRow("full-width digits are not digits") << u"１２"_s << 0.0;
    QTest::newRow("ideographic space is not a blank") << u"　1"_s << 0.0;
    QTest::newRow("initial box text") << u"999"_s << 999.0;
}

void TestOctetValue::val()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(Val(text), value);
}

void TestOctetValue::valOfHugeNumbersIsOutOfEveryRange()
{
    QVERIFY(std::isinf(Val(u"1e999"_s)));
    QCOMPARE(Val(u"&H1FFFFFFFF"_s), 8589934591.0);
    QCOMPARE(OctetValue::firstOutOfRange({u"1e999"_s}), 0);
    QCOMPARE(OctetValue::firstOutOfRange({u"&H100000000"_s}), 0);
    // "-0" is read as zero and written as "0".
    QVERIFY(!std::signbit(Val(u"-0"_s)));
}

void TestOctetValue::rounding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");

    QTest::newRow("2.5 to even 2") << u"2.5"_s << 2;
    QTest::newRow("3.5 to even 4") << u"3.5"_s << 4;
    QTest::newRow("0.5 to even 0") << u"0.5"_s << 0;
    QTest::newRow("253.5 to even 254") << u"253.5"_s << 254;
    QTest::newRow("254.5 to even 254") << u"254.5"_s << 254;
    QTest::newRow("-2.5 to even -2") << u"-2.5"_s << -2;
    QTest::newRow("below half") << u"2.49"_s << 2;
    QTest::newRow("above half") << u"2.51"_s << 3;
    QTest::newRow("whole") << u"017"_s << 17;
    QTest::newRow("hexadecimal") << u"&HFE"_s << 254;
}

void TestOctetValue::rounding()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(octetNumber(text), number);
    QCOMPARE(roundHalfEven(Val(text)), double(number));
}

void TestOctetValue::firstOutOfRange_data()
{
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("index");

    const QStringList good{u"192"_s, u"168"_s, u"1"_s, u"1"_s,
                           u"192"_s, u"168"_s, u"1"_s, u"254"_s};
    auto with = [&](std::initializer_list<std::pair<int, QString>> changes) {
        QStringList boxes = good;
        for (const auto& [index, text] : changes)
            boxes[index] = text;
        return boxes;
    };

    QTest::newRow("all in range") << good << -1;
    QTest::newRow("initial 999 everywhere") << QStringList(8, u"999"_s) << 0;
    QTest::newRow("start last octet 0") << with({{3, u"0"_s}}) << 3;
    QTest::newRow("start last octet 255") << with({{3, u"255"_s}}) << 3;
    QTest::newRow("end last octet 0") << with({{7, u"0"_s}}) << 7;
    QTest::newRow("end last octet 255") << with({{7, u"255"_s}}) << 7;
    QTest::newRow("first octet 255, last 254 accepted")
        << with({{0, u"255"_s}, {3, u"254"_s}, {4, u"255"_s}}) << -1;
    QTest::newRow("first octet 0 accepted") << with({{0, u"0"_s}, {4, u"0"_s}}) << -1;
    QTest::newRow("first octet 256") << with({{0, u"256"_s}}) << 0;
    QTest::newRow("negative") << with({{1, u"-1"_s}}) << 1;
    QTest::newRow("copies of the prefix are checked too") << with({{5, u"300"_s}}) << 5;
    QTest::newRow("boxes tested in index order")
        << with({{7, u"0"_s}, {5, u"999"_s}, {2, u"256"_s}}) << 2;
    QTest::newRow("letters read as 0 are a valid prefix octet") << with({{2, u"ab"_s}}) << -1;
    QTest::newRow("letters read as 0 are no valid last octet") << with({{3, u"ab"_s}}) << 3;
    QTest::newRow("fraction in a prefix octet") << with({{1, u"1.5"_s}}) << 1;
    QTest::newRow("fraction in a last octet that would round into range")
        << with({{3, u"2.5"_s}}) << 3;
    QTest::newRow("exponent giving a whole number") << with({{0, u"1e2"_s}}) << -1;
    QTest::newRow("hexadecimal") << with({{0, u"&HFF"_s}, {7, u"&HFE"_s}}) << -1;
    QTest::newRow("blanks only in a prefix octet") << with({{1, u"   "_s}}) << -1;
    QTest::newRow("fewer than eight boxes") << QStringList{u"1"_s, u"2"_s, u"3"_s} << 3;
}

void TestOctetValue::firstOutOfRange()
{
    QFETCH(QStringList, boxes);
    QFETCH(int, index);
    QCOMPARE(OctetValue::firstOutOfRange(boxes), index);
}

void TestOctetValue::prefix_data()
{
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("prefix");

    QTest::newRow("plain") << QStringList{u"192"_s, u"168"_s, u"0"_s} << u"192.168.0."_s;
    QTest::newRow("leading zeros and blanks")
        << QStringList{u"010"_s, u" 1 "_s, u"007"_s} << u"10.1.7."_s;
    QTest::newRow("other notations") << QStringList{u"&HA"_s, u"1e2"_s, u"-0"_s} << u"10.100.0."_s;
    QTest::newRow("letters") << QStringList{u"x"_s, u"2x"_s, u""_s} << u"0.2.0."_s;
    QTest::newRow("fraction in shortest form")
        << QStringList{u"1.50"_s, u"2"_s, u"3"_s} << u"1.5.2.3."_s;
}

void TestOctetValue::prefix()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, prefix);
    QCOMPARE(prefixText(boxes.at(0), boxes.at(1), boxes.at(2)), prefix);
}

void TestOctetValue::rangeMessageText()
{
    const QString text = rangeMessage();
    const QStringList lines = text.split(u"\r\n"_s);
    QCOMPARE(lines, (QStringList{u"アドレスの入力は以下の範囲にして下さい"_s, QString(),
                                 u"\u3000\u3000第\uFF11キー\uFF1A\uFF10\uFF5E\uFF12\uFF15\uFF15"_s,
                                 u"\u3000\u3000第\uFF12キー\uFF1A\uFF10\uFF5E\uFF12\uFF15\uFF15"_s,
                                 u"\u3000\u3000第\uFF13キー\uFF1A\uFF10\uFF5E\uFF12\uFF15\uFF15"_s,
                                 u"\u3000\u3000第\uFF14キー\uFF1A\uFF11\uFF5E\uFF12\uFF15\uFF14"_s,
                                 QString()}));
    // Every line ends with CR LF, and there is no bare line feed or carriage return.
    QCOMPARE(text.count(u"\r\n"_s), 6);
    QCOMPARE(text.count(u'\n'), 6);
    QCOMPARE(text.count(u'\r'), 6);
}

QTEST_GUILESS_MAIN(TestOctetValue)
#include "tst_octetvalue.moc"
