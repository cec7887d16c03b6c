// What compareLists reports between a list before a run and the list after it.
#include "survey/ListChanges.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestListChanges : public QObject {
    Q_OBJECT
private slots:
    void changes_data();
    void changes();
};

namespace {

// "kind ip,host,mac < ip,host,mac", with " local" for a locally administered MAC.
QString describe(const ListChange& c)
{
    const auto row = [](const AddressEntry& e) {
        return e.ip + u',' + e.host + u',' + e.mac;
    };
    return changeKindWord(c.kind) + u' ' + row(c.now) + u" < "_s + row(c.before) +
           (c.localMac ? u" local"_s : QString());
}

} // namespace

void TestListChanges::changes_data()
{
    // Both lists as data rows; the changes in the order of `after`.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("each kind, and an unchanged row")
        << QStringList{u"1.1.1.1,pc1,00-00-00-00-00-01"_s, u"1.1.1.2,,"_s,
                       u"1.1.1.3,pc3,00-00-00-00-00-03"_s, u"1.1.1.4,pc4,00-00-00-00-00-04"_s,
                       u"1.1.1.5,pc5,00-00-00-00-00-05"_s}
        << QStringList{u"1.1.1.1,pc1,00-00-00-00-00-01"_s,
                       u"1.1.1.2,pc2,00-00-00-00-00-02"_s,
                       u"1.1.1.3,,"_s,
                       u"1.1.1.4,pc4,00-00-00-00-00-44"_s,
                       u"1.1.1.5,pc-five,00-00-00-00-00-05"_s,
                       u"1.1.1.6,pc6,00-00-00-00-00-06"_s}
        << QStringList{
               u"new 1.1.1.2,pc2,00-00-00-00-00-02 < 1.1.1.2,,"_s,
               u"gone 1.1.1.3,, < 1.1.1.3,pc3,00-00-00-00-00-03"_s,
               u"changed 1.1.1.4,pc4,00-00-00-00-00-44 < 1.1.1.4,pc4,00-00-00-00-00-04"_s,
               u"renamed 1.1.1.5,pc-five,00-00-00-00-00-05 < 1.1.1.5,pc5,00-00-00-00-00-05"_s,
               u"new 1.1.1.6,pc6,00-00-00-00-00-06 < 1.1.1.6,,"_s};
    QTest::newRow("a device that moved is reported once, where it is now")
        << QStringList{u"1.1.1.7,pc7,00-00-00-00-00-07"_s, u"1.1.1.8,,"_s}
        << QStringList{u"1.1.1.7,,"_s, u"1.1.1.8,pc7,00-00-00-00-00-07"_s}
        << QStringList{u"moved 1.1.1.8,pc7,00-00-00-00-00-07 < 1.1.1.7,pc7,00-00-00-00-00-07"_s};
    QTest::newRow("moved between two /24s of one survey: one line")
        << QStringList{u"10.1.0.7,pc7,00-00-00-00-00-07"_s, u"10.1.1.255,,"_s, u"10.1.3.200,,"_s}
        << QStringList{u"10.1.0.7,,"_s, u"10.1.1.255,,"_s, u"10.1.3.200,pc7,00-00-00-00-00-07"_s}
        << QStringList{
               u"moved 10.1.3.200,pc7,00-00-00-00-00-07 < 10.1.0.7,pc7,00-00-00-00-00-07"_s};
    QTest::newRow("moved, and another device took its old address")
        << QStringList{u"1.1.1.7,pc7,00-00-00-00-00-07"_s}
        << QStringList{u"1.1.1.7,pc70,00-00-00-00-00-70"_s, u"1.1.1.8,pc7,00-00-00-00-00-07"_s}
        << QStringList{u"changed 1.1.1.7,pc70,00-00-00-00-00-70 < 1.1.1.7,pc7,00-00-00-00-00-07"_s,
                       u"moved 1.1.1.8,pc7,00-00-00-00-00-07 < 1.1.1.7,pc7,00-00-00-00-00-07"_s};
    QTest::newRow("randomised MACs, new and gone")
        << QStringList{u"1.1.1.9,,"_s, u"1.1.1.10,tab,02-00-00-00-00-10"_s}
        << QStringList{u"1.1.1.9,phone,DA-A1-19-00-00-09"_s, u"1.1.1.10,,"_s}
        << QStringList{u"new 1.1.1.9,phone,DA-A1-19-00-00-09 < 1.1.1.9,, local"_s,
                       u"gone 1.1.1.10,, < 1.1.1.10,tab,02-00-00-00-00-10 local"_s};
    // A hand-edited file: its first row of an address counts, and a MAC listed at two
    // addresses moved from the first of them.
    QTest::newRow("duplicate addresses and MACs")
        << QStringList{u"1.1.1.11,a,00-00-00-00-00-11"_s, u"1.1.1.11,b,00-00-00-00-00-12"_s,
                       u"1.1.1.12,x,00-00-00-00-00-20"_s, u"1.1.1.13,y,00-00-00-00-00-20"_s}
        << QStringList{u"1.1.1.11,a,00-00-00-00-00-11"_s, u"1.1.1.11,c,00-00-00-00-00-13"_s,
                       u"1.1.1.12,,"_s, u"1.1.1.13,,"_s, u"1.1.1.14,x,00-00-00-00-00-20"_s}
        << QStringList{u"gone 1.1.1.13,, < 1.1.1.13,y,00-00-00-00-00-20"_s,
                       u"moved 1.1.1.14,x,00-00-00-00-00-20 < 1.1.1.12,x,00-00-00-00-00-20"_s};
    QTest::newRow("an address written otherwise is compared as it is written")
        << QStringList{u"1.1.1.030,pc30,00-00-00-00-00-30"_s, u"1.1.1.31,pc31,00-00-00-00-00-31"_s}
        << QStringList{u"1.1.1.030,pc-30,00-00-00-00-00-30"_s, u"1.1.1.030,x,00-00-00-00-00-99"_s,
                       u"1.1.1.31,pc31,00-00-00-00-00-31"_s, u"1.1.1.30,,"_s}
        << QStringList{
               u"renamed 1.1.1.030,pc-30,00-00-00-00-00-30 < 1.1.1.030,pc30,00-00-00-00-00-30"_s};
    QTest::newRow("a hand-written MAC is the survey's")
        << QStringList{u"1.1.1.16,pc16,00:1b:21:aa:bb:cc"_s, u"1.1.1.17,pc17,00:1b:21:aa:bb:dd"_s}
        << QStringList{u"1.1.1.16,pc16,00-1B-21-AA-BB-CC"_s, u"1.1.1.17,,"_s,
                       u"1.1.1.18,pc17,00-1B-21-AA-BB-DD"_s}
        << QStringList{
               u"moved 1.1.1.18,pc17,00-1B-21-AA-BB-DD < 1.1.1.17,pc17,00:1b:21:aa:bb:dd"_s};
    QTest::newRow("an address the run did not survey has not changed")
        << QStringList{u"1.1.1.19,pc19,00-00-00-00-00-19"_s, u"1.1.1.20,,"_s}
        << QStringList{u"1.1.1.20,,"_s} << QStringList{};
    QTest::newRow("a blank name or another case is no rename")
        << QStringList{u"1.1.1.21,,00-00-00-00-00-21"_s, u"1.1.1.22,pc22,00-00-00-00-00-22"_s,
                       u"1.1.1.23,pc23,00-00-00-00-00-23"_s}
        << QStringList{u"1.1.1.21,pc21,00-00-00-00-00-21"_s, u"1.1.1.22,,00-00-00-00-00-22"_s,
                       u"1.1.1.23,PC23,00-00-00-00-00-23"_s}
        << QStringList{};
    QTest::newRow("a name as the log keeps it (\"?\" where code page 932 lacks) is no rename")
        << QStringList{u"1.1.1.1,b?ro,00-00-00-00-00-01"_s, u"1.1.1.2,b?,00-00-00-00-00-02"_s}
        << QStringList{u"1.1.1.1,Büro,00-00-00-00-00-01"_s, u"1.1.1.2,kü,00-00-00-00-00-02"_s}
        << QStringList{u"renamed 1.1.1.2,kü,00-00-00-00-00-02 < 1.1.1.2,b?,00-00-00-00-00-02"_s};
}

void TestListChanges::changes()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QStringList, expected);
    QStringList found;
    for (const ListChange& change : compareLists(entriesOf(before), entriesOf(after)))
        found << describe(change);
    QCOMPARE(found, expected);
}

QTEST_GUILESS_MAIN(TestListChanges)
#include "tst_listchanges.moc"
