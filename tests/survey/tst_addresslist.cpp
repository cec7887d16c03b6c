#include "survey/AddressList.h"
#include "text/ByteWidth.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(AddressEntry)

namespace {
QString blanks(int n)
{
    return QString(n, u' ');
}
} // namespace

class TestAddressList : public QObject {
    Q_OBJECT
private slots:
    void headers();
    void listRow_data();
    void listRow();
    void listRowBarsStandAtBytes21And52();
    void csvRowKeepsWholeName();
    void splitCsvRow_data();
    void splitCsvRow();
    void csvRowRoundTrip();
};

void TestAddressList::headers()
{
    const QString list = AddressList::listHeader();
    QCOMPARE(list, u"IPアドレス"_s + blanks(10) + u"|HOST名"_s + blanks(24) + u"|MACアドレス"_s);
    // The header's bars stand where every row's bars stand.
    QCOMPARE(AnsiLenB(list.left(list.indexOf(u'|'))), 20);
    QCOMPARE(AnsiLenB(list.left(list.lastIndexOf(u'|'))), 51);
    QCOMPARE(AddressList::csvHeader(), u"IPアドレス,HOST名,MACアドレス"_s);
}

void TestAddressList::listRow_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("row");

    const QString mac = u"00-11-22-33-44-55"_s;
    QTest::newRow("ordinary row") << u"192.168.0.7"_s << u"pc01"_s << mac
                                  << u"192.168.0.7"_s + blanks(9) + u"|pc01"_s + blanks(26) +
                                         u"|"_s + mac;
    QTest::newRow("empty host and mac")
        << u"10.0.0.1"_s << QString() << QString()
        << u"10.0.0.1"_s + blanks(12) + u"|"_s + blanks(30) + u"|"_s;
    QTest::newRow("first field of exactly 20") << u"12345678901234567890"_s << u"h"_s << QString()
                                               << u"12345678901234567890|h"_s + blanks(29) + u"|"_s;
    QTest::newRow("first field longer than 20 pushes the bar")
        << u"1234567890123456789012"_s << QString() << QString()
        << u"1234567890123456789012|"_s + blanks(30) + u"|"_s;
    QTest::newRow("31 ascii characters cut to 30")
        << u"1.1.1.1"_s << QString(31, u'x') << mac
        << u"1.1.1.1"_s + blanks(13) + u"|"_s + QString(30, u'x') + u"|"_s + mac;
    QTest::newRow("10 two-byte characters padded by 10")
        << u"1.1.1.1"_s << QString(10, u'あ') << QString()
        << u"1.1.1.1"_s + blanks(13) + u"|"_s + QString(10, u'あ') + blanks(10) + u"|"_s;
    QTest::newRow("16 two-byte characters show 15")
        << u"1.1.1.1"_s << QString(16, u'あ') << QString()
        << u"1.1.1.1"_s + blanks(13) + u"|"_s + QString(15, u'あ') + u"|"_s;
    QTest::newRow("29 ascii then a two-byte character: half dropped, one blank")
        << u"1.1.1.1"_s << QString(29, u'a') + u"表"_s << QString()
        << u"1.1.1.1"_s + blanks(13) + u"|"_s + QString(29, u'a') + blanks(1) + u"|"_s;
    QTest::newRow("half-width katakana is one byte each")
        << u"1.1.1.1"_s << QString(30, u'ｱ') << QString()
        << u"1.1.1.1"_s + blanks(13) + u"|"_s + QString(30, u'ｱ') + u"|"_s;
    QTest::newRow("mac is neither padded nor cut")
        << u"1.1.1.1"_s << u"h"_s << u"00-00-00-00-00-00 extra"_s
        << u"1.1.1.1"_s + blanks(13) + u"|h"_s + blanks(29) + u"|00-00-00-00-00-00 extra"_s;
}

void TestAddressList::listRow()
{
    QFETCH(QString, ip);
    QFETCH(QString, host);
    QFETCH(QString, mac);
    QFETCH(QString, row);
    QCOMPARE(MakeListRow(ip, host, mac), row);
}

void TestAddressList::listRowBarsStandAtBytes21And52()
{
    const QString row = MakeListRow(u"192.168.0.7"_s, u"pc01"_s, u"00-11-22-33-44-55"_s);
    QCOMPARE(row.size(), 69);
    const QByteArray bytes = QByteArray(row.toLatin1());
    QCOMPARE(bytes.at(20), '|');
    QCOMPARE(bytes.at(51), '|');
    for (const QString& host : {u"日本語ホスト"_s, QString(40, u'漢'), u"ﾎｽﾄ名"_s}) {
        const QString r = MakeListRow(u"10.0.0.1"_s, host, QString());
        QCOMPARE(AnsiLenB(r), 52);
        QCOMPARE(AnsiMidB(r, 52, 1), u"|"_s);
        QCOMPARE(AnsiMidB(r, 21, 1), u"|"_s);
    }
}

void TestAddressList::csvRowKeepsWholeName()
{
    const QString longName = QString(40, u'n');
    QCOMPARE(MakeCsvRow(u"10.0.0.2"_s, longName, u"AA-BB-CC-DD-EE-FF"_s),
             u"10.0.0.2,"_s + longName + u",AA-BB-CC-DD-EE-FF"_s);
    QCOMPARE(MakeCsvRow(QString(), QString(), QString()), u",,"_s);
}

void TestAddressList::splitCsvRow_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<AddressEntry>("entry");
    QTest::newRow("one field") << u"192.168.0.7"_s << AddressEntry{u"192.168.0.7"_s, {}, {}};
    QTest::newRow("three fields") << u"a,b,c"_s << AddressEntry{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("four fields") << u"a,b,c,d"_s << AddressEntry{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("two fields") << u"a,b"_s << AddressEntry{u"a"_s, u"b"_s, {}};
    QTest::newRow("empty row") << QString() << AddressEntry{};
    QTest::newRow("empty middle") << u"a,,c"_s << AddressEntry{u"a"_s, {}, u"c"_s};
    QTest::newRow("blanks and quotes stay")
        << u" a ,\"b\", c"_s << AddressEntry{u" a "_s, u"\"b\""_s, u" c"_s};
    QTest::newRow("header") << AddressList::csvHeader()
                            << AddressEntry{u"IPアドレス"_s, u"HOST名"_s, u"MACアドレス"_s};
}

void TestAddressList::splitCsvRow()
{
    QFETCH(QString, row);
    QFETCH(AddressEntry, entry);
    const AddressEntry got = SplitCsvRow(row);
    QCOMPARE(got.ip, entry.ip);
    QCOMPARE(got.host, entry.host);
    QCOMPARE(got.mac, entry.mac);
}

void TestAddressList::csvRowRoundTrip()
{
    const AddressEntry e{u"172.16.200.9"_s, u"ファイルサーバ"_s, u"00-0A-95-01-02-0F"_s};
    QCOMPARE(SplitCsvRow(MakeCsvRow(e.ip, e.host, e.mac)), e);
}

QTEST_GUILESS_MAIN(TestAddressList)
#include "tst_addresslist.moc"
