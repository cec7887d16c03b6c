#include "text/ByteWidth.h"
#include "text/Cp932.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestCp932 : public QObject {
    Q_OBJECT
private slots:
    void encodesMicrosoftTable_data();
    void encodesMicrosoftTable();
    void decodesWhatItEncodes();
    void unrepresentableCharacterIsOneQuestionMark();
    void danglingLeadByteIsDropped();
    void ansiLenB_data();
    void ansiLenB();
    void ansiMidB_data();
    void ansiMidB();
};

void TestCp932::encodesMicrosoftTable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // The characters where Microsoft's table and plain Shift-JIS part ways.
    QTest::newRow("fullwidth tilde is 8160") << u"～"_s << QByteArray::fromHex("8160");
    QTest::newRow("backslash stays 5C") << u"\\"_s << QByteArray::fromHex("5c");
    QTest::newRow("fullwidth reverse solidus") << u"＼"_s << QByteArray::fromHex("815f");
    QTest::newRow("half-width katakana one byte each")
        << u"ｱｲｳﾞ"_s << QByteArray::fromHex("b1b2b3de");
    QTest::newRow("NEC row 13 circled one") << u"①"_s << QByteArray::fromHex("8740");
    QTest::newRow("NEC row 13 roman numeral") << u"Ⅰ"_s << QByteArray::fromHex("8754");
    QTest::newRow("NEC row 13 kabushiki") << u"㈱"_s << QByteArray::fromHex("878a");
    QTest::newRow("hiragana") << u"あ"_s << QByteArray::fromHex("82a0");
    QTest::newRow("right arrow") << u"→"_s << QByteArray::fromHex("81a8");
    QTest::newRow("ideographic space") << u"\u3000"_s << QByteArray::fromHex("8140");
    QTest::newRow("ascii") << u"pc01"_s << QByteArray("pc01");
}

void TestCp932::encodesMicrosoftTable()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QVERIFY(Cp932::available());
    QCOMPARE(Cp932::encode(text), bytes);
    QCOMPARE(Cp932::decode(bytes), text);
}

void TestCp932::decodesWhatItEncodes()
{
    const QString text = u"IPアドレス,HOST名,MACアドレス ～\\ ｶﾀｶﾅ ①㈱ 表示"_s;
    QCOMPARE(Cp932::decode(Cp932::encode(text)), text);
    // The wave dash of plain Shift-JIS must not appear when 8160 is read back.
    QCOMPARE(Cp932::decode(QByteArray::fromHex("8160")), u"\uFF5E"_s);
}

void TestCp932::unrepresentableCharacterIsOneQuestionMark()
{
    QCOMPARE(Cp932::encode(u"a€b"_s), QByteArray("a?b"));
    QCOMPARE(Cp932::encode(u"x\U0001F600y"_s), QByteArray("x?y"));
    QCOMPARE(AnsiLenB(u"é"_s), 1);
    QCOMPARE(AnsiLenB(u"あ€"_s), 3);
}

void TestCp932::danglingLeadByteIsDropped()
{
    QCOMPARE(Cp932::decode(QByteArray::fromHex("4182")), u"A"_s);
}

void TestCp932::ansiLenB_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("ascii") << u"192.168.0.7"_s << 11;
    QTest::newRow("kanji") << u"表示名"_s << 6;
    QTest::newRow("mixed") << u"PC名ｱ"_s << 5;
}

void TestCp932::ansiLenB()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QCOMPARE(AnsiLenB(text), width);
}

void TestCp932::ansiMidB_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << u"abc"_s << 1 << 3 << u"abc"_s;
    QTest::newRow("middle") << u"abcdef"_s << 2 << 3 << u"bcd"_s;
    QTest::newRow("count past end") << u"abc"_s << 2 << 10 << u"bc"_s;
    QTest::newRow("start past end") << u"abc"_s << 4 << 1 << QString();
    QTest::newRow("empty text") << QString() << 1 << 5 << QString();
    QTest::newRow("two-byte characters") << u"あいう"_s << 3 << 2 << u"い"_s;
    QTest::newRow("cut inside a character") << u"aあい"_s << 1 << 4 << u"aあ"_s;
    QTest::newRow("zero count") << u"abc"_s << 1 << 0 << QString();
}

void TestCp932::ansiMidB()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QString, expected);
    QCOMPARE(AnsiMidB(text, start, count), expected);
}

QTEST_GUILESS_MAIN(TestCp932)
#include "tst_cp932.moc"
