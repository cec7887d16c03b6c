#include "store/CsvExport.h"
#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "survey/SurveyLists.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kHeaderLine =
    TestFiles::hex("495083418368838c83582c484f535496bc2c4d414383418368838c8358") + "\r\n";

// The lists as a survey leaves them, plus one imported row of four fields.
void surveyLists(QStringList& lstData, QStringList& lstDat2)
{
    const QList<AddressEntry> entries = {
        {u"198.18.0.1"_s, u"ルータ"_s, u"00-11-22-33-44-55"_s},
        {u"198.18.0.2"_s, QString(), QString()},
        {u"198.18.0.3"_s, u"very-long-host-name-that-is-cut-on-screen.example"_s,
         u"AA-BB-CC-DD-EE-FF"_s},
    };
    lstData = {AddressList::listHeader()};
    lstDat2 = {AddressList::csvHeader()};
    for (const AddressEntry& e : entries) {
        lstData.append(MakeListRow(e.ip, e.host, e.mac));
        lstDat2.append(MakeCsvRow(e.ip, e.host, e.mac));
    }
    lstDat2.append(u"198.18.0.4,h,m,fourth"_s);
    lstData.append(MakeListRow(u"198.18.0.4"_s, u"h"_s, u"m"_s));
}

} // namespace

class TestCsvExport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void headerOnlyList();
    void rowsAreTheLogLinesUnderTheHeader();
    void exportThenImportRoundTrip_data();
    void exportThenImportRoundTrip();
    void otherExtensionBringsHeaderBackAsRow();
    void unwritablePathFailsAndChangesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCsvExport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestCsvExport::headerOnlyList()
{
    const QString csv = m_dir->filePath(u"empty.csv"_s);
    QVERIFY(writeCsvExport({AddressList::csvHeader()}, csv).ok);
    QCOMPARE(TestFiles::readBytes(csv), kHeaderLine);
}

void TestCsvExport::rowsAreTheLogLinesUnderTheHeader()
{
    QStringList lstData, lstDat2;
    surveyLists(lstData, lstDat2);
    const QString csv = m_dir->filePath(u"list.csv"_s);
    const QString log = m_dir->filePath(u"Netroscope.log"_s);
    QVERIFY(writeCsvExport(lstDat2, csv).ok);
    QVERIFY(subLogSave(lstDat2, log).ok);

    const QByteArray bytes = TestFiles::readBytes(csv);
    QCOMPARE(bytes, kHeaderLine + TestFiles::readBytes(log));
    QCOMPARE(bytes.count("\r\n"), lstDat2.size());
    // The whole host name and the fourth field go out as held.
    QVERIFY(bytes.contains(",very-long-host-name-that-is-cut-on-screen.example,"));
    QVERIFY(bytes.endsWith("198.18.0.4,h,m,fourth\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
}

void TestCsvExport::exportThenImportRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("lower") << u"list.csv"_s;
    QTest::newRow("upper") << u"LIST.CSV"_s;
}

void TestCsvExport::exportThenImportRoundTrip()
{
    QFETCH(QString, name);
    QStringList lstData, lstDat2;
    surveyLists(lstData, lstDat2);
    const QString csv = m_dir->filePath(name);
    QVERIFY(writeCsvExport(lstDat2, csv).ok);

    const LoadedList loaded = subListLoad(csv);
    QVERIFY(loaded.opened);
    const SurveyLists::Content lists = SurveyLists::fromStored(loaded.rows);
    QCOMPARE(lists.lstDat2, lstDat2);
    QCOMPARE(lists.lstData, lstData);
}

void TestCsvExport::otherExtensionBringsHeaderBackAsRow()
{
    QStringList lstData, lstDat2;
    surveyLists(lstData, lstDat2);
    const QString txt = m_dir->filePath(u"list.txt"_s);
    QVERIFY(writeCsvExport(lstDat2, txt).ok);

    const LoadedList loaded = subListLoad(txt);
    QCOMPARE(loaded.rows, lstDat2);
    QVERIFY(SurveyLists::fromStored(loaded.rows).lstData.at(1).startsWith(u"IPアドレス"_s));
}

void TestCsvExport::unwritablePathFailsAndChangesNothing()
{
    const QStringList lstDat2{AddressList::csvHeader(), u"198.18.0.1,a,b"_s};

    const QString missingDir = m_dir->filePath(u"nodir/list.csv"_s);
    TextFile::WriteResult result = writeCsvExport(lstDat2, missingDir);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());

    // A directory chosen as the target stays a directory with its content.
    const QString dir = m_dir->filePath(u"taken.csv"_s);
    QVERIFY(QDir().mkpath(dir + u"/inner"_s));
    result = writeCsvExport(lstDat2, dir);
    QVERIFY(!result.ok);
    QVERIFY(QFileInfo(dir + u"/inner"_s).isDir());

    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{u"taken.csv"_s});
}

QTEST_GUILESS_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
