#include "survey/AddressRanges.h"

#include <QHostAddress>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestAddressRanges : public QObject {
    Q_OBJECT
private slots:
    void ranges_data();
    void ranges();
};

namespace {

// "first-last" for each range, ";" between them; the first words of the error otherwise.
QString describe(const AddressRanges::Parsed& parsed)
{
    if (!parsed.error.isEmpty())
        return parsed.error.section(u':', 0, 0);
    QStringList texts;
    for (const AddressRanges::Range& range : parsed.ranges)
        texts.append(QHostAddress(range.first).toString() + u'-' +
                     QHostAddress(range.last).toString());
    return texts.join(u';');
}

} // namespace

void TestAddressRanges::ranges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ranges");
    const QString form = u"範囲の形が正しくありません"_s;
    const QString ends = u"範囲の始めと終わりの最後のオクテットは 1～254 です"_s;
    QTest::newRow("a /22 without its network and broadcast")
        << u"192.168.4.0/22"_s << u"192.168.4.1-192.168.7.254"_s;
    QTest::newRow("host bits of a network are ignored")
        << u"192.168.4.77/22"_s << u"192.168.4.1-192.168.7.254"_s;
    QTest::newRow("a /31 and a /32 are taken whole")
        << u"10.0.0.4/31,10.0.0.9/32,10.0.0.255"_s
        << u"10.0.0.4-10.0.0.5;10.0.0.9-10.0.0.9;10.0.0.255-10.0.0.255"_s;
    QTest::newRow("the window's form") << u"192.168.1.1-254"_s << u"192.168.1.1-192.168.1.254"_s;
    QTest::newRow("across /24s, inner .0 and .255 included")
        << u"10.1.0.1-10.1.3.254"_s << u"10.1.0.1-10.1.3.254"_s;
    // Each /24 of the list without its own network and broadcast addresses.
    QTest::newRow("a list in address order, overlaps and neighbours merged")
        << u"10.0.2.1-9,10.0.1.0/24,10.0.2.10-12,10.0.0.0/24,10.0.2.5-20"_s
        << u"10.0.0.1-10.0.0.254;10.0.1.1-10.0.1.254;10.0.2.1-10.0.2.20"_s;
    QTest::newRow("a /16 in all") << u"10.0.0.0/16,10.1.0.1-2"_s
                                  << u"10.0.0.1-10.0.255.254;10.1.0.1-10.1.0.2"_s;
    QTest::newRow("more than a /16 in all")
        << u"10.0.0.0/16,10.1.0.1-3"_s << u"調査できるのは合わせて 65536 アドレス（/16）までです"_s;
    QTest::newRow("a network larger than a /16")
        << u"10.0.0.0/15"_s << u"/16 より大きいネットワークは調査しません"_s;
    QTest::newRow("an end on .0") << u"192.168.1.0-254"_s << ends;
    QTest::newRow("an end on .255") << u"10.1.0.1-10.1.3.255"_s << ends;
    QTest::newRow("backwards") << u"10.1.3.1-10.1.0.1"_s << u"範囲の始めが終わりより後です"_s;
    QTest::newRow("an octet past 255") << u"10.1.256.1-2"_s << form;
    QTest::newRow("blanks") << u"10.1.0.1 - 10.1.0.9"_s << form;
    QTest::newRow("not decimal") << u"0x0a.1.0.1-9"_s << form;
    QTest::newRow("an empty item") << u"10.1.0.1-9,"_s << form;
    QTest::newRow("a prefix past 32") << u"10.1.0.0/33"_s << form;
}

void TestAddressRanges::ranges()
{
    QFETCH(QString, text);
    QFETCH(QString, ranges);
    QCOMPARE(describe(AddressRanges::parse(text)), ranges);
}

QTEST_APPLESS_MAIN(TestAddressRanges)
#include "tst_addressranges.moc"
