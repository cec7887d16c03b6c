// Hostile files and addresses through the real window and the system's own probes,
// inside the lab's scanner namespace (netlab.sh): nothing may crash, hang, run a
// command that a text holds, or damage the history log.
#include "HeldNameServer.h"
#include "LabSwitches.h"
#include "ProcessWatch.h"
#include "TestFiles.h"
#include "WindowHarness.h"

#include "probes/SystemProbes.h"
#include "probes/platform/LinuxProfile.h"
#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "survey/SurveyLists.h"
#include "text/TextFile.h"
#include "window/frmNetScp.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// What every command-shaped input would create if a shell ever saw it.
const QString kMarker = u"NETROSCOPE_RAN_IT"_s;

QByteArray repeated(const QByteArray& line, int times)
{
    QByteArray out;
    out.reserve(line.size() * times);
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

// Root reads files whatever their mode; reading as nobody shows the refusal a user
// would meet. glibc changes the effective user of every thread, the pool's too.
struct ReadAsNobody {
    bool active = ::geteuid() == 0;
    ReadAsNobody()
    {
        if (active && ::seteuid(65534) != 0)
            active = false;
    }
    ~ReadAsNobody()
    {
        if (active && ::seteuid(0) != 0)
            qFatal("could not get root back");
    }
};

// Makes `path` the hostile input; false when the system refuses to.
bool makeInput(const QString& path, const QString& special, const QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    if (special == u"dir")
        return QDir().mkpath(path);
    if (special == u"fifo")
        return ::mkfifo(native.constData(), 0644) == 0;
    if (special == u"devzero")
        return QFile::link(u"/dev/zero"_s, path);
    if (!TestFiles::writeBytes(path, bytes))
        return false;
    if (special == u"huge") // sparse: large to look at, nothing on the disk
        return QFile(path).resize(257LL * 1024 * 1024);
    if (special == u"unreadable")
        return ::chmod(native.constData(), 0) == 0;
    return true;
}

// A reader that a fault let into a FIFO waits for a writer for ever, and the window's
// pool with it: a writer that comes and goes lets it see the end, so that such a
// fault fails its test instead of hanging the run.
void unblockReader(const QString& path, const QString& special)
{
    if (special != u"fifo")
        return;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
}

// A window with the system's probes; its folder searchable by nobody, so that a
// file it may not read is met as such.
struct Lab : WindowHarness<SystemProbes> {
    Lab() { openToOthers(); }
    explicit Lab(const QString& dirTemplate)
        : WindowHarness(dirTemplate)
    {
        openToOthers();
    }
    void openToOthers()
    {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
    }

    // One click on a panel button; true once it answered with a result or a box.
    bool check(QPushButton* button)
    {
        QSignalSpy done(window.get(), &frmNetScp::checkFinished);
        const qsizetype before = boxes.asked.size();
        button->click();
        return boxes.asked.size() > before || done.wait(30000);
    }

    int rows() const { return int(dat2().size()) - 1; }
    bool idle() const { return window->isVisible() && window->cmdStart[0]->isEnabled(); }
};

// Processes whose parent is this one, zombies included.
} // namespace

class TestHostileInputs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void nothingCrashesHangsOrRuns_data();
    void nothingCrashesHangsOrRuns();
    void leavesNoProcessOrFileBehind();

private:
    QTemporaryDir m_base;
    QString m_tmp; // TMPDIR of this run, so that what the program leaves there shows
};

void TestHostileInputs::initTestCase()
{
    if (qEnvironmentVariable("NETLAB_PREFIX").isEmpty())
        QSKIP("runs only inside the network lab (tests/lab/netlab.sh run ...)");
    m_tmp = m_base.filePath(u"tmp"_s);
    QVERIFY(QDir().mkpath(m_tmp));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    // Before the first lookup, so that a question the lab's name server holds is held
    // as long as a test needs (the lab has no name server but the tests').
    qputenv("RES_OPTIONS", HeldNameServer::patientResolver().value(u"RES_OPTIONS"_s).toUtf8());
}

void TestHostileInputs::leavesNoProcessOrFileBehind()
{
    const QString prefix = qEnvironmentVariable("NETLAB_PREFIX");
    // The console ping: the way that starts child processes. Chosen by the profile, not
    // by the system's rights: an echo socket that an earlier test left open would
    // otherwise still be used.
    LinuxTools tools = LinuxTools::installed();
    tools.echoSockets = false;
    tools.rawEcho = false;
    const LinuxProfile consolePing(tools);
    Lab lab(m_base.filePath(u"program-XXXXXX"_s));
    lab.probes = std::make_shared<SystemProbes>(consolePing);
    {
        QVERIFY(lab.load(60000));
        frmNetScp& w = *lab.window;
        for (int k = 0; k < 3; ++k)
            w.txtIP[k]->setText(prefix.section(u'.', k, k));
        w.txtIP[3]->setText(u"10"_s);
        w.txtIP[7]->setText(u"17"_s);
        QSignalSpy done(&w, &frmNetScp::surveyFinished);
        QVERIFY(lab.startSurvey(0));
        QVERIFY(done.wait(60000));
        lab.boxes.answers = {MessageBoxes::Yes};
        w.txtIP[3]->setText(u"1"_s);
        w.txtIP[7]->setText(u"254"_s);
        // The survey cannot end while the names it asks the name server for are held:
        // the cancel comes once its pings have gone out (the kernel counts them; the
        // children themselves may be over within a second), while it surely runs.
        HeldNameServer names;
        QVERIFY(names.listen());
        const qint64 echoes = kernelCounter("Icmp", "OutEchos");
        QVERIFY(echoes >= 0);
        QVERIFY(lab.startSurvey(0));
        QVERIFY2(
            QTest::qWaitFor(
                [&] { return names.asked() && kernelCounter("Icmp", "OutEchos") > echoes; }, 60000),
            qPrintable(u"names asked: %1, echo requests sent: %2, rows: %3, threads: %4, "
                       "children: %5"_s.arg(names.asked())
                           .arg(kernelCounter("Icmp", "OutEchos") - echoes)
                           .arg(lab.rows())
                           .arg(QDir(u"/proc/self/task"_s)
                                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                    .size())
                           .arg(ProcessWatch::childProcesses().size())));
        w.cmdCancel->click();
        names.release();
        QVERIFY(done.wait(60000));
        w.txtHost1->setText(u"lab11"_s);
        QVERIFY(lab.check(w.cmd11));
        QVERIFY(lab.check(w.cmd12));
        w.txtIp2->setText(prefix + u".12"_s);
        QVERIFY(lab.check(w.cmd21));
        QVERIFY(lab.check(w.cmd22));
        QCOMPARE(w.txtPing2->text(), u"成功"_s);
        QVERIFY(w.close());
    }
    QTRY_COMPARE(ProcessWatch::childProcesses(), QStringList());
    QCOMPARE(QDir(lab.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{u"Netroscope.log"_s});
    QCOMPARE(QDir(m_tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void TestHostileInputs::nothingCrashesHangsOrRuns_data()
{
    QTest::addColumn<QString>("special");  // how the file is made, or "address"
    QTest::addColumn<QByteArray>("input"); // the file's bytes, or the address text
    QTest::addColumn<int>("rows");         // rows a file gives; -1: refused

    QByteArray noise(4096, '\0');
    QRandomGenerator random(20261207);
    for (char& c : noise)
        c = char(random.bounded(256));
    QByteArray million;
    million.reserve(20'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        million += "198.18." + QByteArray::number(i / 250 % 256) + '.' +
                   QByteArray::number(i % 250 + 1) + ",h" + QByteArray::number(i) + ",\r\n";

    QTest::newRow("random bytes") << QString() << noise << -1;
    QTest::newRow("not code page 932") << QString() << QByteArray("198.18.0.5,\x85\x40,\r\n") << -1;
    QTest::newRow("lead byte cut at the end") << QString() << QByteArray("198.18.0.5,\x82") << -1;
    QTest::newRow("NUL bytes") << QString()
                               << QByteArray("198.18.0.5,a\0b,\r\n198.18.0.6,,\r\n", 30) << 2;
    QTest::newRow("one 10 MB line")
        << QString() << "198.18.0.5," + QByteArray(10'000'000, 'a') + ",\r\n"
        << 1;
    QTest::newRow("1,000,000 lines") << QString() << million << 1'000'000;
    QTest::newRow("2,000,001 lines") << QString() << repeated("\n", 2'000'001) << -1;
    QTest::newRow("CR only") << QString() << QByteArray("198.18.0.5,a,\r198.18.0.6,,\r") << 2;
    QTest::newRow("LF only") << QString() << QByteArray("198.18.0.5,a,\n198.18.0.6,,") << 2;
    QTest::newRow("empty") << QString() << QByteArray() << 0;
    QTest::newRow("257 MiB") << u"huge"_s << QByteArray("198.18.0.5,,\r\n") << -1;
    QTest::newRow("directory") << u"dir"_s << QByteArray() << -1;
    QTest::newRow("FIFO") << u"fifo"_s << QByteArray() << -1;
    QTest::newRow("link to /dev/zero") << u"devzero"_s << QByteArray() << -1;
    QTest::newRow("no read permission") << u"unreadable"_s << QByteArray("198.18.0.5,,\r\n") << -1;

    const QString touch = u"touch "_s + kMarker;
    const QStringList addresses{u"1.1.1.1;"_s + touch,
                                u"$("_s + touch + u")"_s,
                                u"`"_s + touch + u"`"_s,
                                u"198.18.0.11 && "_s + touch,
                                u"-f"_s,
                                u"--help"_s,
                                u"/t"_s,
                                u"127.0.0.1 -c 1000"_s,
                                QString(100'000, u'9'),
                                u"１９８．１８．０．１１ホスト"_s};
    for (const QString& address : addresses)
        QTest::newRow(qPrintable(u"address "_s + address.left(24)))
            << u"address"_s << address.toUtf8() << 0;
}

void TestHostileInputs::nothingCrashesHangsOrRuns()
{
    QFETCH(QString, special);
    QFETCH(QByteArray, input);
    QFETCH(int, rows);
    const bool asNobody = special == u"unreadable";
    // Only a large file may take long to read (a sparse one too: it is hashed whole, to
    // tell at exit whether another program wrote it); any other that does has hung.
    const int readWait = input.size() > 1'000'000 || special == u"huge" ? 240000 : 10000;
    const QString oldDir = QDir::currentPath();
    const auto back = qScopeGuard([&] { QDir::setCurrent(oldDir); });

    if (special == u"address") {
        const QString address = QString::fromUtf8(input);
        Lab lab;
        QVERIFY(QDir::setCurrent(lab.dir.path()));
        QVERIFY(lab.load(60000));
        frmNetScp& w = *lab.window;
        w.txtHost1->setText(address);
        QVERIFY(lab.check(w.cmd11));
        w.txtIp2->setText(address);
        QVERIFY(lab.check(w.cmd21));
        QVERIFY(lab.check(w.cmd22));
        QCOMPARE(w.txtPing2->text(), u"失敗"_s);
        // The same text as an imported list entry, probed again by a re-survey.
        const QString list = lab.dir.filePath(u"list.txt"_s);
        QVERIFY(TextFile::write(list, {address + u",,"_s}).ok);
        QVERIFY(lab.importFile(list, 60000));
        QCOMPARE(lab.rows(), 1);
        QSignalSpy done(&w, &frmNetScp::surveyFinished);
        QVERIFY(lab.startSurvey(1));
        QVERIFY(done.wait(60000));
        // Whatever the resolver made of it (inet_addr stops at a blank), the entry
        // keeps its text and no MAC: nothing answered a ping of that text.
        const AddressEntry entry = SplitCsvRow(lab.dat2().at(1));
        QCOMPARE(entry.ip, address);
        QCOMPARE(entry.mac, QString());
        QVERIFY(lab.idle());
        QVERIFY(w.close());
        for (const QString& where : {lab.dir.path(), QDir::tempPath(), oldDir})
            QVERIFY2(!QFileInfo::exists(QDir(where).filePath(kMarker)), qPrintable(where));
        return;
    }

    // As the history log: loaded whole, or left exactly as it was with one message.
    {
        Lab lab;
        const QString log = lab.logPath();
        QVERIFY(makeInput(log, special, input));
        const auto unblock = qScopeGuard([&] { unblockReader(log, special); });
        {
            std::optional<ReadAsNobody> nobody;
            if (asNobody)
                nobody.emplace();
            QVERIFY(lab.load(readWait));
        }
        QCOMPARE(lab.rows(), std::max(rows, 0));
        QTRY_COMPARE(lab.boxes.asked.size(), rows < 0 ? 1 : 0);
        const QStringList shown = lab.dat2();
        QVERIFY(lab.idle());
        QVERIFY(lab.window->close());
        if (rows < 0 && special.isEmpty())
            QCOMPARE(TestFiles::readBytes(log), input);
        else if (rows < 0)
            QVERIFY(QFileInfo(log).isFile() == (special == u"huge" || special == u"unreadable"));
        else if (rows == 0)
            QVERIFY(!QFileInfo::exists(log)); // no rows leave no log
        else
            QCOMPARE(subListLoad(log).rows, shown.mid(1));
    }

    // As an imported file: it replaces the list, or the list stays with a message.
    Lab lab;
    const QString imported = lab.dir.filePath(u"import.txt"_s);
    QVERIFY(makeInput(imported, special, input));
    const auto unblock = qScopeGuard([&] { unblockReader(imported, special); });
    QVERIFY(TestFiles::writeBytes(lab.logPath(), "198.18.0.5,pc05,\r\n"));
    QVERIFY(lab.load(60000));
    {
        std::optional<ReadAsNobody> nobody;
        if (asNobody)
            nobody.emplace();
        QVERIFY(lab.importFile(imported, readWait));
    }
    QCOMPARE(lab.rows(), rows < 0 ? 1 : rows);
    QCOMPARE(lab.boxes.asked.size(), rows < 0 ? 2 : 1); // the confirmation, then the refusal
    if (rows < 0)
        QCOMPARE(lab.boxes.asked.last().style, MessageBoxes::OkExclamation);
    QVERIFY(lab.idle());
}

QTEST_MAIN(TestHostileInputs)
#include "tst_hostile_inputs.moc"
