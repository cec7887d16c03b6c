#include "survey/AddressList.h"
#include "survey/SurveyLists.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSurveyLists : public QObject {
    Q_OBJECT
private slots:
    void resetGivesBothHeaders();
    void appendKeepsListsPaired();
    void appendInsertsOneRowWithoutReset();
    void replaceTakesLoadedRowsAsTheyAre();
    void replaceKeepsPairingWhenCountsDiffer();
    void entriesAreTheRowsAsRead_data();
    void entriesAreTheRowsAsRead();
    void dat3KeepsItsCopy();
    void modelData();
};

void TestSurveyLists::resetGivesBothHeaders()
{
    SurveyLists lists;
    QCOMPARE(lists.count(), 0);
    QCOMPARE(lists.entryCount(), 0);

    lists.append(u"1.1.1.1"_s, u"a"_s, u"b"_s);
    lists.resetToHeaders();
    QCOMPARE(lists.lstDataRows(), QStringList{AddressList::listHeader()});
    QCOMPARE(lists.lstDat2(), QStringList{AddressList::csvHeader()});
    QCOMPARE(lists.count(), 1);
    QCOMPARE(lists.entryCount(), 0);
    QCOMPARE(lists.lstData()->rowCount(), 1);
}

void TestSurveyLists::appendKeepsListsPaired()
{
    SurveyLists lists;
    lists.resetToHeaders();
    lists.append(u"198.18.0.1"_s, u"pc01"_s, u"00-11-22-33-44-55"_s);
    lists.append(AddressEntry{u"198.18.0.2"_s, QString(), QString()});
    lists.append(u"198.18.0.3"_s, u"ホスト"_s, QString());

    QCOMPARE(lists.count(), 4);
    QCOMPARE(lists.entryCount(), 3);
    QCOMPARE(lists.lstDat2().size(), 4);
    for (int k = 1; k < lists.count(); ++k) {
        const AddressEntry entry = SplitCsvRow(lists.lstDat2().at(k));
        QCOMPARE(lists.lstDataRows().at(k), MakeListRow(entry.ip, entry.host, entry.mac));
    }
    QCOMPARE(lists.lstDat2().at(1), u"198.18.0.1,pc01,00-11-22-33-44-55"_s);
    QCOMPARE(lists.lstDat2().at(2), u"198.18.0.2,,"_s);
}

void TestSurveyLists::appendInsertsOneRowWithoutReset()
{
    // A view of a long list must only hear of the one new row, never a reset or a
    // layout change, or every append would cost the whole list.
    SurveyLists lists;
    lists.resetToHeaders();
    SurveyListModel* model = lists.lstData();
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    QSignalSpy layout(model, &QAbstractItemModel::layoutChanged);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

    for (int i = 1; i <= 3; ++i)
        lists.append(u"10.0.0."_s + QString::number(i), QString(), QString());

    QCOMPARE(inserted.count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(inserted.at(i).at(1).toInt(), i + 1);
        QCOMPARE(inserted.at(i).at(2).toInt(), i + 1);
    }
    QCOMPARE(reset.count(), 0);
    QCOMPARE(layout.count(), 0);
    QCOMPARE(changed.count(), 0);

    lists.resetToHeaders();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model->rowCount(), 1);
}

void TestSurveyLists::replaceTakesLoadedRowsAsTheyAre()
{
    SurveyLists lists;
    lists.resetToHeaders();
    const QStringList stored{u"1.2.3.4,h,m,extra"_s, u"short"_s};
    const QStringList dat2 = QStringList{AddressList::csvHeader()} + stored;
    const QStringList data{AddressList::listHeader(), MakeListRow(u"1.2.3.4"_s, u"h"_s, u"m"_s),
                           MakeListRow(u"short"_s, QString(), QString())};
    QSignalSpy reset(lists.lstData(), &QAbstractItemModel::modelReset);
    lists.replaceWithStored(stored);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(lists.lstDat2(), dat2);
    QCOMPARE(lists.lstDataRows(), data);
    QCOMPARE(lists.entryCount(), 2);
}

void TestSurveyLists::replaceKeepsPairingWhenCountsDiffer()
{
    SurveyLists lists;
    lists.replace({{u"h"_s, u"a"_s, u"b"_s}, {u"H"_s, u"A"_s}});
    QCOMPARE(lists.lstDataRows(), (QStringList{u"h"_s, u"a"_s}));
    QCOMPARE(lists.lstDat2(), (QStringList{u"H"_s, u"A"_s}));
}

void TestSurveyLists::entriesAreTheRowsAsRead_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("appended"); // ip|host|mac

    QTest::newRow("stored rows: more fields, fewer commas")
        << true << QStringList{u"1.2.3.4,h,m,extra"_s, u"short"_s} << QStringList();
    QTest::newRow("appended: a name with a comma is the entry its row reads back as")
        << true << QStringList() << QStringList{u"198.18.0.1|a,b|m"_s};
    QTest::newRow("no view: the same lists, no display rows")
        << false << QStringList{u"1.2.3.4,h,m,extra"_s}
        << QStringList{u"198.18.0.2|pc|00-11-22-33-44-55"_s};
}

// The comparison and the re-survey read the entries, the files get the data rows: the
// two must never tell a different list.
void TestSurveyLists::entriesAreTheRowsAsRead()
{
    QFETCH(bool, shown);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, appended);

    SurveyLists lists(shown ? SurveyLists::View::Shown : SurveyLists::View::None);
    lists.replaceWithStored(stored);
    for (const QString& entry : std::as_const(appended)) {
        const QStringList fields = entry.split(u'|');
        lists.append(fields.at(0), fields.at(1), fields.at(2));
    }

    QCOMPARE(lists.count(), 1 + stored.size() + appended.size());
    QCOMPARE(lists.entries().size(), lists.entryCount());
    for (int k = 1; k < lists.count(); ++k)
        QCOMPARE(lists.entries().at(k - 1), SplitCsvRow(lists.lstDat2().at(k)));
    QCOMPARE(lists.lstDataRows().size(), shown ? lists.count() : 0);
}

void TestSurveyLists::dat3KeepsItsCopy()
{
    SurveyLists lists;
    lists.resetToHeaders();
    lists.append(u"1.1.1.1"_s, u"a"_s, QString());
    lists.copyDat2ToDat3();
    const QStringList copy = lists.lstDat2();
    lists.resetToHeaders();
    lists.append(u"2.2.2.2"_s, QString(), QString());
    QCOMPARE(lists.lstDat3(), copy);
}

void TestSurveyLists::modelData()
{
    SurveyLists lists;
    lists.resetToHeaders();
    lists.append(u"1.1.1.1"_s, u"a"_s, QString());
    const SurveyListModel* model = lists.lstData();
    QCOMPARE(model->data(model->index(1)).toString(), lists.lstDataRows().at(1));
    QVERIFY(!model->data(model->index(2)).isValid());
    QVERIFY(!model->data(model->index(1), Qt::DecorationRole).isValid());
    // A flat list: no row has children.
    QCOMPARE(model->rowCount(model->index(0)), 0);
}

QTEST_GUILESS_MAIN(TestSurveyLists)
#include "tst_surveylists.moc"
