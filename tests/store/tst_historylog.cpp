#include "store/HistoryLog.h"
#include "store/LogLock.h"
#include "store/SharedLog.h"
#include "survey/AddressList.h"
#include "survey/SurveyLists.h"
#include "text/TextFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString blanks(int n)
{
    return QString(n, u' ');
}

QStringList withHeader(const QString& header, const QStringList& rows)
{
    return QStringList{header} + rows;
}

// "ルータ" and "～" in code page 932; the wave dash shows whether the right table is used.
const QByteArray kRouterSjis = TestFiles::hex("838b815b835e");
const QByteArray kTildeSjis = TestFiles::hex("8160");

// The window's list, as a guarded save writes it.
const QByteArray kSaved = "198.18.0.7,pc07,02-00-00-00-00-07\r\n";

} // namespace

class TestHistoryLog : public QObject {
    Q_OBJECT
private slots:
    void init();

    void saveWritesDataRowsOnly();
    void saveKeepsRowsExactlyAsHeld();
    void saveWithoutDataRowsDeletesLog_data();
    void saveWithoutDataRowsDeletesLog();
    void saveToUncreatablePathFails();

    void load_data();
    void load();
    void loadKeepsEveryLinePast16BitCounter();
    void loadOfUnopenablePathReportsIt_data();
    void loadOfUnopenablePathReportsIt();
    void saveThenLoadRoundTrip();

    void guardedSaveKeepsWhatAnotherWrote_data();
    void guardedSaveKeepsWhatAnotherWrote();
    void keptCopiesAreTheProgramsOwnAndFew_data();
    void keptCopiesAreTheProgramsOwnAndFew();
    void lockIsForOneHolder();

    void logPathInWritableProgramDir();
    void logPathFallsBackWhenProgramDirCannotBeCreated();
    void logPathFallsBackForReadOnlyProgramDir();
    void logPathOfAnInstalledOrSharedProgramIsTheDataFolder_data();
    void logPathOfAnInstalledOrSharedProgramIsTheDataFolder();
    void logPathForThisRunIsDecidedOnce();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString& name) const { return m_dir->filePath(name); }
};

void TestHistoryLog::init()
{
    // In a folder whose name code page 932 cannot hold.
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + u"/josé-XXXXXX"_s);
    QVERIFY(m_dir->isValid());
}

void TestHistoryLog::saveWritesDataRowsOnly()
{
    const QString log = path(u"Netroscope.log"_s);
    const QStringList lstDat2 =
        withHeader(AddressList::csvHeader(), {u"198.18.0.1,ルータ,00-11-22-33-44-55"_s,
                                              u"198.18.0.2,,"_s, u"198.18.0.3,pc～3,"_s});
    const TextFile::WriteResult result = subLogSave(lstDat2, log);
    QVERIFY2(result.ok, qPrintable(result.error));

    // No header, no byte-order mark, code page 932, CR LF after every line.
    const QByteArray expected = "198.18.0.1," + kRouterSjis + ",00-11-22-33-44-55\r\n" +
                                "198.18.0.2,,\r\n" + "198.18.0.3,pc" + kTildeSjis + "3,\r\n";
    QCOMPARE(TestFiles::readBytes(log), expected);
}

void TestHistoryLog::saveKeepsRowsExactlyAsHeld()
{
    // Rows that came from an import are written as read: four fields, a blank row,
    // a first field too long for the column, a host name longer than the column.
    const QString longHost = u"h"_s.repeated(40);
    const QStringList rows = {u"198.18.0.4,a,b,c"_s, QString(), u"x"_s.repeated(25),
                              u"198.18.0.5,"_s + longHost + u","_s};
    QVERIFY(subLogSave(withHeader(AddressList::csvHeader(), rows), path(u"log"_s)).ok);
    QCOMPARE(TestFiles::readBytes(path(u"log"_s)),
             QByteArray("198.18.0.4,a,b,c\r\n\r\n" + QByteArray(25, 'x') + "\r\n198.18.0.5," +
                        longHost.toLatin1() + ",\r\n"));
}

void TestHistoryLog::saveWithoutDataRowsDeletesLog_data()
{
    QTest::addColumn<QStringList>("lstDat2");
    QTest::addColumn<bool>("logExists");
    QTest::newRow("header only, old log") << QStringList{AddressList::csvHeader()} << true;
    QTest::newRow("empty list, old log") << QStringList{} << true;
    QTest::newRow("header only, no log") << QStringList{AddressList::csvHeader()} << false;
}

void TestHistoryLog::saveWithoutDataRowsDeletesLog()
{
    QFETCH(QStringList, lstDat2);
    QFETCH(bool, logExists);
    const QString log = path(u"Netroscope.log"_s);
    if (logExists)
        QVERIFY(TestFiles::writeBytes(log, "198.18.0.1,old,\r\n"));

    QVERIFY(subLogSave(lstDat2, log).ok);
    QVERIFY(!QFile::exists(log));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

void TestHistoryLog::saveToUncreatablePathFails()
{
    const QString log = path(u"missing/Netroscope.log"_s);
    const TextFile::WriteResult result =
        subLogSave({AddressList::csvHeader(), u"198.18.0.1,a,b"_s}, log);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!QFile::exists(log));
}

void TestHistoryLog::load_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("dat2");
    QTest::addColumn<QStringList>("data");

    const QString mac = u"00-11-22-33-44-55"_s;
    const QString row1 = u"198.18.0.1,pc01,"_s + mac;
    const QString disp1 = u"198.18.0.1"_s + blanks(10) + u"|pc01"_s + blanks(26) + u"|"_s + mac;
    const QString row2 = u"198.18.0.2,,"_s;
    const QString disp2 = u"198.18.0.2"_s + blanks(10) + u"|"_s + blanks(30) + u"|"_s;
    const QString row3 = u"198.18.0.3,ルータ,"_s;
    const QString disp3 = u"198.18.0.3"_s + blanks(10) + u"|ルータ"_s + blanks(24) + u"|"_s;
    const QByteArray bytes123 =
        "198.18.0.1,pc01,00-11-22-33-44-55\r\n198.18.0.2,,\r\n198.18.0.3," + kRouterSjis + ",\r\n";

    QTest::newRow("three lines in file order")
        << u"Netroscope.log"_s << bytes123 << QStringList{row1, row2, row3}
        << QStringList{disp1, disp2, disp3};
    QTest::newRow("empty file") << u"Netroscope.log"_s << QByteArray() << QStringList{}
                                << QStringList{};
    QTest::newRow("blank line") << u"Netroscope.log"_s
                                << QByteArray("198.18.0.2,,\r\n\r\n198.18.0.2,,\r\n")
                                << QStringList{row2, QString(), row2}
                                << QStringList{disp2, blanks(20) + u"|"_s + blanks(30) + u"|"_s,
                                               disp2};
    QTest::newRow("CR, LF and a last line without terminator")
        << u"Netroscope.log"_s << QByteArray("198.18.0.2,,\r198.18.0.2,,\n198.18.0.2,,")
        << QStringList{row2, row2, row2} << QStringList{disp2, disp2, disp2};
    QTest::newRow("address only") << u"Netroscope.log"_s << QByteArray("198.18.0.2\r\n")
                                  << QStringList{u"198.18.0.2"_s} << QStringList{disp2};
    QTest::newRow("four fields kept whole, third shown as MAC")
        << u"Netroscope.log"_s << QByteArray("198.18.0.4,host,mac,extra\r\n")
        << QStringList{u"198.18.0.4,host,mac,extra"_s}
        << QStringList{u"198.18.0.4"_s + blanks(10) + u"|host"_s + blanks(26) + u"|mac"_s};

    const QString ascii40 = u"abcdefghij"_s.repeated(4);
    QTest::newRow("40 ascii characters shown cut to 30")
        << u"Netroscope.log"_s << QByteArray("198.18.0.5," + ascii40.toLatin1() + ",\r\n")
        << QStringList{u"198.18.0.5,"_s + ascii40 + u","_s}
        << QStringList{u"198.18.0.5"_s + blanks(10) + u"|"_s + ascii40.left(30) + u"|"_s};
    const QString wide20 = u"サーバー１号機ルータ"_s.repeated(2);
    QTest::newRow("20 double-byte characters shown cut to 15")
        << u"Netroscope.log"_s
        << QByteArray("198.18.0.6," +
                      TestFiles::hex("8354815b836f815b82508d868b40838b815b835e").repeated(2) +
                      ",\r\n")
        << QStringList{u"198.18.0.6,"_s + wide20 + u","_s}
        << QStringList{u"198.18.0.6"_s + blanks(10) + u"|"_s + wide20.left(15) + u"|"_s};

    // Whatever the first line of a ".csv" file holds, it is skipped.
    for (const QString& name : {u"list.csv"_s, u"LIST.CSV"_s, u"List.Csv"_s}) {
        QTest::newRow(qPrintable(name))
            << name << bytes123 << QStringList{row2, row3} << QStringList{disp2, disp3};
    }
    QTest::newRow("csv with header only")
        << u"list.csv"_s << QByteArray("IP,HOST,MAC\r\n") << QStringList{} << QStringList{};

    const QByteArray headerSjis =
        TestFiles::hex("495083418368838c83582c484f535496bc2c4d414383418368838c8358");
    for (const QString& name : {u"list.txt"_s, u"list.csvx"_s, u"listcsv"_s}) {
        QTest::newRow(qPrintable(u"header read as data in "_s + name))
            << name << QByteArray(headerSjis + "\r\n198.18.0.2,,\r\n")
            << QStringList{AddressList::csvHeader(), row2}
            << QStringList{u"IPアドレス"_s + blanks(14) + u"|HOST名"_s + blanks(24) +
                               u"|MACアドレス"_s,
                           disp2};
    }

    // A first field longer than the column no longer ends the load: the line is kept
    // and its display row is merely pushed to the right.
    const QString long25 = u"1234567890123456789012345"_s;
    QTest::newRow("25-character first field in the third line")
        << u"Netroscope.log"_s
        << QByteArray("198.18.0.1,pc01,00-11-22-33-44-55\r\n198.18.0.2,,\r\n" + long25.toLatin1() +
                      ",x,y\r\n198.18.0.2,,\r\n")
        << QStringList{row1, row2, long25 + u",x,y"_s, row2}
        << QStringList{disp1, disp2, long25 + u"|x"_s + blanks(29) + u"|y"_s, disp2};
}

void TestHistoryLog::load()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, dat2);
    QFETCH(QStringList, data);

    const QString file = path(fileName);
    QVERIFY(TestFiles::writeBytes(file, content));
    const LoadedList loaded = subListLoad(file);
    QVERIFY(loaded.opened);
    QCOMPARE(loaded.rows, dat2);
    // And what the list shows of them.
    QCOMPARE(SurveyLists::fromStored(loaded.rows).lstData,
             withHeader(AddressList::listHeader(), data));
}

void TestHistoryLog::loadKeepsEveryLinePast16BitCounter()
{
    constexpr int kLines = 40000;
    QByteArray content;
    for (int i = 0; i < kLines; ++i)
        content += "198.18." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256) +
                   ",h" + QByteArray::number(i) + ",\r\n";
    const QString log = path(u"Netroscope.log"_s);
    QVERIFY(TestFiles::writeBytes(log, content));

    const LoadedList loaded = subListLoad(log);
    QVERIFY(loaded.opened);
    const SurveyLists::Content lists = SurveyLists::fromStored(loaded.rows);
    QCOMPARE(lists.lstDat2.size(), kLines + 1);
    QCOMPARE(lists.lstData.size(), kLines + 1);
    QCOMPARE(lists.lstDat2.at(32767), u"198.18.127.254,h32766,"_s);
    QCOMPARE(lists.lstDat2.at(32768), u"198.18.127.255,h32767,"_s);
    QCOMPARE(lists.lstDat2.last(), u"198.18.156.63,h39999,"_s);
    QVERIFY(lists.lstData.last().startsWith(u"198.18.156.63       |h39999"_s));

    // And the next save writes them all back.
    QVERIFY(subLogSave(lists.lstDat2, log).ok);
    QCOMPARE(TestFiles::readBytes(log), content);
}

void TestHistoryLog::loadOfUnopenablePathReportsIt_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("empty");
    // Only a missing log means a first start; any other refusal keeps the log at exit.
    QTest::addColumn<int>("failure");
    QTest::newRow("missing file") << u"typed-name.csv"_s << false
                                  << int(TextFile::ReadResult::Missing);
    QTest::newRow("directory") << u"adir"_s << false << int(TextFile::ReadResult::NotAFile);
    QTest::newRow("empty path") << QString() << true << int(TextFile::ReadResult::Missing);
    // Opened, a FIFO would wait for a writer and /dev/zero never end.
    QTest::newRow("FIFO") << u"afifo"_s << false << int(TextFile::ReadResult::NotAFile);
    QTest::newRow("link to /dev/zero")
        << u"zero.log"_s << false << int(TextFile::ReadResult::NotAFile);
}

void TestHistoryLog::loadOfUnopenablePathReportsIt()
{
    QFETCH(QString, relative);
    QFETCH(bool, empty);
    QFETCH(int, failure);
    QVERIFY(QDir(m_dir->path()).mkdir(u"adir"_s));
    QCOMPARE(::mkfifo(QFile::encodeName(path(u"afifo"_s)).constData(), 0644), 0);
    QVERIFY(QFile::link(u"/dev/zero"_s, path(u"zero.log"_s)));
    const LoadedList loaded = subListLoad(empty ? QString() : path(relative));
    QVERIFY(!loaded.opened);
    QCOMPARE(int(loaded.failure), failure);
    QVERIFY(!loaded.error.isEmpty());
    // An empty list, which is what start-up wants when there is no log yet.
    QCOMPARE(loaded.rows, QStringList());
}

void TestHistoryLog::saveThenLoadRoundTrip()
{
    // The lists as a survey builds them.
    const QList<AddressEntry> entries = {
        {u"198.18.0.1"_s, u"ルータ"_s, u"00-11-22-33-44-55"_s},
        {u"198.18.0.2"_s, QString(), QString()},
        {u"198.18.0.3"_s, u"ｻｰﾊﾞ～\\share"_s, u"AA-BB-CC-DD-EE-FF"_s},
        {u"198.18.0.4"_s, u"x"_s.repeated(45), QString()},
    };
    QStringList lstData{AddressList::listHeader()};
    QStringList lstDat2{AddressList::csvHeader()};
    for (const AddressEntry& e : entries) {
        lstData.append(MakeListRow(e.ip, e.host, e.mac));
        lstDat2.append(MakeCsvRow(e.ip, e.host, e.mac));
    }
    const QString log = path(u"Netroscope.log"_s);
    QVERIFY(subLogSave(lstDat2, log).ok);
    const LoadedList loaded = subListLoad(log);
    QVERIFY(loaded.opened);
    const SurveyLists::Content lists = SurveyLists::fromStored(loaded.rows);
    QCOMPARE(lists.lstDat2, lstDat2);
    QCOMPARE(lists.lstData, lstData);
}

void TestHistoryLog::guardedSaveKeepsWhatAnotherWrote_data()
{
    QTest::addColumn<QByteArray>("read"); // the log when the window read it; empty: none
    QTest::addColumn<QByteArray>(
        "meanwhile");                      // what another hand wrote; "=": nothing, "-": deleted
    QTest::addColumn<bool>("listChanged"); // the window's list since it read the log
    QTest::addColumn<QByteArray>("after"); // the log afterwards; "-": none
    QTest::addColumn<QString>("kept");     // how the other list is kept: "", ".csv", ".log"

    const QByteArray mine = "198.18.0.5,pc05,\r\n";
    const QByteArray other = "198.18.0.9,other,02-00-00-00-00-09\r\n198.18.0.10,,\r\n";
    const QByteArray saved = kSaved;
    // Nobody else: as ever, even with the list unchanged (an empty log goes).
    QTest::newRow("untouched since") << mine << QByteArray("=") << true << saved << QString();
    QTest::newRow("untouched, list unchanged")
        << QByteArray("\r\n") << QByteArray("=") << false << saved << QString();
    QTest::newRow("copied over with the same bytes") << mine << mine << true << saved << QString();
    // Another hand since.
    QTest::newRow("rewritten, list unchanged: the newer log stays")
        << mine << other << false << other << QString();
    QTest::newRow("deleted, list unchanged: it stays deleted")
        << mine << QByteArray("-") << false << QByteArray("-") << QString();
    QTest::newRow("rewritten, list changed: the other kept")
        << mine << other << true << saved << u".csv"_s;
    QTest::newRow("deleted, list changed") << mine << QByteArray("-") << true << saved << QString();
    QTest::newRow("bytes that are no list")
        << mine << QByteArray("\x85\x40\r\n") << true << saved << u".log"_s;
}

void TestHistoryLog::guardedSaveKeepsWhatAnotherWrote()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, meanwhile);
    QFETCH(bool, listChanged);
    QFETCH(QByteArray, after);
    QFETCH(QString, kept);
    const QString log = path(u"Netroscope.log"_s);
    if (!read.isEmpty())
        QVERIFY(TestFiles::writeBytes(log, read));
    const LogFingerprint seen = fingerprintOf(log);
    if (meanwhile == "-")
        QVERIFY(QFile::remove(log));
    else if (meanwhile != "=")
        QVERIFY(TestFiles::writeBytes(log, meanwhile) &&
                QFile::setPermissions(log, QFile::ReadOwner | QFile::WriteOwner));

    const QStringList window{AddressList::csvHeader(), u"198.18.0.7,pc07,02-00-00-00-00-07"_s};
    const GuardedSave saved = saveLogGuarded(window, log, seen, listChanged);
    QVERIFY2(saved.written.ok, qPrintable(saved.written.error));
    // Left as it was, the log stays the other program's for the next save too.
    QCOMPARE(saved.leftNewer, after != kSaved);
    // Saved, it is the window's own: a save after a logout called off and the one at
    // exit find it as the first left it, and keep no copy of it.
    if (!saved.leftNewer) {
        const GuardedSave again = saveLogGuarded(window, log, saved.seen, true);
        QVERIFY(again.written.ok && !again.leftNewer && again.keptCopy.isEmpty());
    }
    if (after == "-")
        QVERIFY(!QFileInfo::exists(log));
    else
        QCOMPARE(TestFiles::readBytes(log), after);

    const QStringList copies =
        QDir(m_dir->path()).entryList({u"Netroscope-*"_s}, QDir::Files, QDir::Name);
    QCOMPARE(copies.size(), kept.isEmpty() ? 0 : 1);
    QCOMPARE(takeKeptCopies(log).size(), copies.size());
    if (kept.isEmpty())
        return;
    QVERIFY2(copies.first().endsWith(kept), qPrintable(copies.first()));
    QCOMPARE(saved.keptCopy, path(copies.first()));
    // Only a CSV copy is said to be what the import reads; none is more open than the log.
    QCOMPARE(keptCopiesNotice({saved.keptCopy}).contains(u"（「インポート」で読み込めます）"_s),
             kept == u".csv"_s);
    QCOMPARE(QFileInfo(saved.keptCopy).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    // As CSV the import brings the other list back whole; otherwise the bytes stay.
    if (kept == u".csv"_s)
        QCOMPARE(subListLoad(saved.keptCopy).rows,
                 TextFile::splitLines(QString::fromLatin1(meanwhile)));
    else
        QCOMPARE(TestFiles::readBytes(saved.keptCopy), meanwhile);
}

void TestHistoryLog::keptCopiesAreTheProgramsOwnAndFew_data()
{
    QTest::addColumn<QStringList>("there"); // "~": another user's; ">x": a link to x
    QTest::addColumn<bool>("rewritten");    // the log since the window read it
    QTest::addColumn<QString>("made");      // the copy made; empty: none, nor the log saved
    QTest::addColumn<QStringList>("gone");  // what the save removed
    // Later: made before the clock was set back, or planted. The report is the user's own.
    QStringList older{u"Netroscope-20261201-0900 report.csv"_s}, later, planted;
    for (int k = 0; k < kKeptCopies; ++k) {
        older << u"Netroscope-20261202-00000%1.csv"_s.arg(k);
        later << u"Netroscope-20270101-00000%1.csv"_s.arg(k);
        planted << u"~"_s + later.last();
    }
    const QString made = u"Netroscope-20261207-210501.csv"_s; // made at 2026-12-07 21:05:01
    QTest::newRow("older and a report: oldest goes") << older << true << made << older.mid(1, 1);
    QTest::newRow("five later: the new one stays") << later << true << made << later.mid(0, 1);
    QTest::newRow("planted: none counts") << older + planted << true << made << older.mid(1, 1);
    QTest::newRow("another user's dangling link at the copy's name")
        << QStringList{u"~"_s + made + u">missing"_s} << true << made.chopped(4) + u"-2.csv"_s
        << QStringList();
    QTest::newRow("the log is another user's link")
        << QStringList{u"~Netroscope.log>victim"_s} << true << QString() << QStringList();
    QTest::newRow("the log as read is another user's link")
        << QStringList{u"~Netroscope.log>victim"_s} << false << QString() << QStringList();
    QTest::newRow("the log as read is another user's file")
        << QStringList{u"~Netroscope.log"_s} << false << QString() << QStringList();
}

void TestHistoryLog::keptCopiesAreTheProgramsOwnAndFew()
{
    QFETCH(QStringList, there);
    QFETCH(bool, rewritten);
    QFETCH(QString, made);
    QFETCH(QStringList, gone);
    const QString log = path(u"Netroscope.log"_s);
    QVERIFY(TestFiles::writeBytes(log, "198.18.0.5,,\r\n"));
    LogFingerprint seen = fingerprintOf(log);
    QVERIFY(TestFiles::writeBytes(log, "198.18.0.6,,\r\n"));
    QVERIFY(TestFiles::writeBytes(path(u"victim"_s), "secret"));
    QStringList left{made};
    for (const QString& entry : there) {
        const QString name = entry.section(u'>', 0, 0).remove(u'~');
        QFile::remove(path(name));
        QVERIFY(entry.contains(u'>') ? QFile::link(path(entry.section(u'>', 1)), path(name))
                                     : TestFiles::writeBytes(path(name), "x"));
        if (entry.startsWith(u'~') && !TestFiles::handToAnotherUser(path(name)))
            QSKIP("Only root can hand a file to another user");
        left << name;
    }
    seen = rewritten ? seen : fingerprintOf(log);
    const QByteArray before = TestFiles::readBytes(log);

    const GuardedSave saved = saveLogGuarded({AddressList::csvHeader(), u"198.18.0.7,pc07,"_s}, log,
                                             seen, true, {{2026, 12, 7}, {21, 5, 1}});
    QCOMPARE(saved.written.ok, !made.isEmpty());
    // What a planted link leads to is neither written, nor created, nor copied.
    QCOMPARE(TestFiles::readBytes(path(u"victim"_s)), "secret");
    QVERIFY(!QFileInfo::exists(path(u"missing"_s)));
    QVERIFY(saved.written.ok || TestFiles::readBytes(log) == before);
    const QStringList after =
        QDir(m_dir->path()).entryList({u"Netroscope-*"_s}, QDir::Files | QDir::System);
    for (const QString& name : left = left.filter(u"Netroscope-"_s))
        QVERIFY2(after.contains(name) != gone.contains(name), qPrintable(name));
    QCOMPARE(after.size(), left.size() - gone.size());
    // Told once, at the next start.
    QCOMPARE(takeKeptCopies(log), made.isEmpty() ? QStringList() : QStringList{path(made)});
    QCOMPARE(takeKeptCopies(log), QStringList());
}

void TestHistoryLog::lockIsForOneHolder()
{
    // A relative path and a path through a linked folder name the same list.
    const QString log = path(u"Netroscope.log"_s);
    QVERIFY(QFile::link(m_dir->path(), path(u"linked"_s)));
    LogLock window(log);
    QVERIFY(window.tryLock());
    LogLock commandLine(path(u"linked/Netroscope.log"_s));
    QVERIFY(!commandLine.tryLock());
    QVERIFY(!commandLine.refused());
    QCOMPARE(commandLine.serverName(), window.serverName());
    window.unlock();
    QVERIFY(commandLine.tryLock());
    // A folder that takes no lock protects nothing and keeps nobody waiting.
    LogLock nowhere(path(u"missing/Netroscope.log"_s));
    QVERIFY(!nowhere.tryLock());
    QVERIFY(nowhere.refused());
}

void TestHistoryLog::logPathInWritableProgramDir()
{
    const QString program = path(u"bin"_s);
    const QString data = path(u"data"_s);
    QVERIFY(QDir().mkpath(program));
    QCOMPARE(historyLogPath(program, data), program + u"/Netroscope.log"_s);
    // The write test leaves nothing behind, and no data directory is made for nothing.
    QCOMPARE(QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{});
    QVERIFY(!QFile::exists(data));
}

void TestHistoryLog::logPathFallsBackWhenProgramDirCannotBeCreated()
{
    // A directory below a regular file can be created by nobody, root included.
    QVERIFY(TestFiles::writeBytes(path(u"file"_s), "x"));
    const QString program = path(u"file/bin"_s);
    const QString data = path(u"home/.local/share/Netroscope"_s);

    const QString log = historyLogPath(program, data);
    QCOMPARE(log, data + u"/Netroscope.log"_s);
    QVERIFY(QFileInfo(data).isDir());

    // Shut-down writes there and the next start-up, deciding the same way, reads it.
    const QStringList lstDat2{AddressList::csvHeader(), u"198.18.0.1,ルータ,"_s};
    QVERIFY(subLogSave(lstDat2, log).ok);
    QCOMPARE(subListLoad(historyLogPath(program, data)).rows, lstDat2.mid(1));
}

void TestHistoryLog::logPathFallsBackForReadOnlyProgramDir()
{
    const QString program = path(u"bin"_s);
    const QString data = path(u"data"_s);
    QVERIFY(QDir().mkpath(program));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                               QFile::ExeGroup | QFile::ReadOther |
                                               QFile::ExeOther));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (::geteuid() == 0 || TextFile::writeTest(program + u"/probe"_s))
        QSKIP("Running as root: mode 0555 does not stop root from writing; the fallback is "
              "covered by logPathFallsBackWhenProgramDirCannotBeCreated");

    const QString log = historyLogPath(program, data);
    QCOMPARE(log, data + u"/Netroscope.log"_s);
    const QStringList lstDat2{AddressList::csvHeader(), u"198.18.0.1,a,b"_s};
    QVERIFY(subLogSave(lstDat2, log).ok);
    QCOMPARE(subListLoad(historyLogPath(program, data)).rows, lstDat2.mid(1));
    QVERIFY(!QFile::exists(program + u"/Netroscope.log"_s));
}

void TestHistoryLog::logPathOfAnInstalledOrSharedProgramIsTheDataFolder_data()
{
    QTest::addColumn<int>("mode"); // of the program folder; 0: installed, -1: another user's
    QTest::newRow("installed") << 0;
    QTest::newRow("its group may write") << 0775;
    QTest::newRow("everybody may write, sticky") << 01777;
    QTest::newRow("another user's") << -1;
}

void TestHistoryLog::logPathOfAnInstalledOrSharedProgramIsTheDataFolder()
{
    QFETCH(int, mode);
    // Writable or not (root may write to /usr/bin), an installed program's folder
    // holds only what its package put there.
    const QString program = path(u"usr/bin"_s);
    const QString data = path(u"home/.local/share/Netroscope"_s);
    QVERIFY(QDir().mkpath(program));
    QVERIFY(mode != 0 || QDir().mkpath(path(u"usr/share/netroscope"_s)));
    QVERIFY(mode <= 0 || ::chmod(QFile::encodeName(program).constData(), mode_t(mode)) == 0);
    if (mode < 0 && !TestFiles::handToAnotherUser(program))
        QSKIP("Only root can hand a folder to another user");
    QCOMPARE(historyLogPath(program, data), data + u"/Netroscope.log"_s);
    QCOMPARE(QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{});
}

void TestHistoryLog::logPathForThisRunIsDecidedOnce()
{
    const QString first = historyLogPath();
    QVERIFY(first.endsWith(u"/Netroscope.log"_s));
    // The test's own directory is writable, so the log sits beside the executable.
    QCOMPARE(first, QDir(QCoreApplication::applicationDirPath()).filePath(u"Netroscope.log"_s));
    QCOMPARE(historyLogPath(), first);
}

QTEST_GUILESS_MAIN(TestHistoryLog)
#include "tst_historylog.moc"
