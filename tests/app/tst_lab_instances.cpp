// Several programs and one history log, through the real executable inside the lab's
// scanner namespace (netlab.sh): what each case leaves on disk. A second window brings
// the first forward, a lock left by a killed window keeps nobody out, the command line
// leaves a window's log alone, and a log another program wrote while the window was
// open outlives the window's exit.
#include "ProcessWatch.h"
#include "TestFiles.h"

#include "store/LogLock.h"
#include "window/RunningWindow.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kWindowsLog = "198.18.0.5,pc05,\r\n198.18.0.6,,\r\n198.18.0.7,,\r\n";
const QByteArray kOthersLog = "198.18.0.9,nightly,02-00-00-00-00-09\r\n";

} // namespace

class TestLabInstances : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void oneLogManyPrograms_data();
    void oneLogManyPrograms();

private:
    std::unique_ptr<QProcess> start(const QStringList& arguments = {});
    // The window has read the log and is shown: it answers a later start.
    bool ready();
    QStringList leftInProgramFolder() const;

    QTemporaryDir m_base;
    QString m_program;
    QString m_log;
    QString m_tmp;
};

void TestLabInstances::initTestCase()
{
    if (qEnvironmentVariable("NETLAB_PREFIX").isEmpty())
        QSKIP("runs only inside the network lab (tests/lab/netlab.sh run ...)");
    // A copy of the program in a folder of its own keeps its history log beside it.
    QVERIFY(QDir().mkpath(m_base.filePath(u"bin"_s)));
    m_program = m_base.filePath(u"bin/netroscope"_s);
    QVERIFY(QFile::copy(QStringLiteral(NETROSCOPE_EXE), m_program));
    m_log = m_base.filePath(u"bin/Netroscope.log"_s);
    // The shared temporary folder, so that what a case leaves there shows.
    m_tmp = m_base.filePath(u"tmp"_s);
    QVERIFY(QDir().mkpath(m_tmp));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    // The user's runtime folder, where the windows' sockets go.
    const QString runtime = m_base.filePath(u"run"_s);
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

std::unique_ptr<QProcess> TestLabInstances::start(const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(m_program, arguments);
    return process;
}

bool TestLabInstances::ready()
{
    const QString name = LogLock(m_log).serverName();
    return QTest::qWaitFor(
        [&] {
            bool cameForward = false;
            RunningWindow::askToComeForward(name, &cameForward);
            return cameForward;
        },
        60000);
}

QStringList TestLabInstances::leftInProgramFolder() const
{
    return QDir(m_base.filePath(u"bin"_s))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void TestLabInstances::oneLogManyPrograms_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QByteArray>("log"); // the log once everything has ended
    QTest::newRow("no other instance") << u"alone"_s << kWindowsLog;
    QTest::newRow("a second window comes to the first") << u"second"_s << kWindowsLog;
    QTest::newRow("a stale lock after kill -9") << u"killed"_s << kWindowsLog;
    QTest::newRow("--survey --log while the window is open") << u"cli"_s << kWindowsLog;
    QTest::newRow("another program wrote the log, the window's list unchanged")
        << u"other"_s << kOthersLog;
}

void TestLabInstances::oneLogManyPrograms()
{
    QFETCH(QString, scenario);
    QFETCH(QByteArray, log);
    QVERIFY(TestFiles::writeBytes(m_log, kWindowsLog));

    std::unique_ptr<QProcess> window = start();
    QVERIFY(window->waitForStarted());
    QVERIFY(ready());

    if (scenario == u"second") {
        const std::unique_ptr<QProcess> second = start();
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(window->state(), QProcess::Running);
    } else if (scenario == u"killed") {
        QVERIFY(ProcessWatch::signalChild(*window, SIGKILL));
        QVERIFY(window->waitForFinished(60000));
        QVERIFY(QFileInfo::exists(m_log + u".lock"_s));
        window = start();
        QVERIFY(window->waitForStarted());
        QVERIFY(ready());
    } else if (scenario == u"cli") {
        const QString prefix = qEnvironmentVariable("NETLAB_PREFIX");
        const std::unique_ptr<QProcess> survey =
            start({u"--survey"_s, prefix + u".1-3"_s, u"--log"_s});
        survey->setProcessChannelMode(QProcess::SeparateChannels);
        QVERIFY(survey->waitForFinished(60000));
        QCOMPARE(survey->exitCode(), 1);
        QCOMPARE(survey->readAllStandardOutput().count('\n'), 3); // the rows still go out
    } else if (scenario == u"other") {
        QVERIFY(TestFiles::writeBytes(m_log, kOthersLog));
    }

    QVERIFY(ProcessWatch::signalChild(*window, SIGTERM));
    QVERIFY(window->waitForFinished(60000));
    QCOMPARE(window->exitStatus(), QProcess::NormalExit);
    QCOMPARE(window->exitCode(), 0);

    QCOMPARE(TestFiles::readBytes(m_log), log);
    QCOMPARE(leftInProgramFolder(), (QStringList{u"Netroscope.log"_s, u"netroscope"_s}));
    const QStringList inTmp =
        QDir(m_tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QVERIFY2(inTmp.isEmpty(), qPrintable(inTmp.join(u' ')));
}

QTEST_GUILESS_MAIN(TestLabInstances)
#include "tst_lab_instances.moc"
