#include "TestFiles.h"

#include "probes/platform/CommandRunner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

QString tool(const QString& name)
{
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        qFatal("the test needs %s", qPrintable(name));
    return path;
}

// A command that records its process id and then sleeps for a long time.
CommandLine sleeperRecordingPid(const QString& pidFile)
{
    return {tool(u"sh"_s), {u"-c"_s, u"echo $$ > \"$0\"; exec sleep 30"_s, pidFile}};
}

qint64 readPid(const QString& pidFile)
{
    QFile file(pidFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}

bool processGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == -1 && errno == ESRCH;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

class TestCommandRunner : public QObject {
    Q_OBJECT
private slots:
    void commandThatEndsAtOnce();
    void childRunsInTheCLocale();
    void missingProgramFailsToStart();
    void largeOutputIsReadWhole();
    void commandPastTheBoundIsKilled();
    void stopKillsTheChildAtOnce();
    void stopBeforeStartRunsNothing();
    void waitingDoesNotSpin();
    void runsFromManyThreadsAtOnce();

private:
    QTemporaryDir m_dir;
};

void TestCommandRunner::commandThatEndsAtOnce()
{
    const CommandRun run = DOS_DOUKI({tool(u"echo"_s), {u"hello"_s}}, StopToken());
    QCOMPARE(run.end, CommandRun::End::Finished);
    QCOMPARE(run.output, QByteArray("hello\n"));
    QCOMPARE(run.exitCode, 0);

    // A command that fails still ended: only its output tells the probe anything.
    const CommandRun failed = DOS_DOUKI({tool(u"false"_s), {}}, StopToken());
    QVERIFY(failed.finished());
    QCOMPARE(failed.exitCode, 1);
}

void TestCommandRunner::childRunsInTheCLocale()
{
    qputenv("LANGUAGE", "ja");
    qputenv("LC_ALL", "ja_JP.UTF-8");
    const CommandRun run = DOS_DOUKI({tool(u"env"_s), {}}, StopToken());
    qunsetenv("LANGUAGE");
    qputenv("LC_ALL", "C.UTF-8");
    QVERIFY(run.finished());
    const QList<QByteArray> lines = run.output.split('\n');
    QVERIFY(lines.contains("LC_ALL=C"));
    for (const QByteArray& line : lines)
        QVERIFY2(!line.startsWith("LANGUAGE="), line.constData());
}

void TestCommandRunner::missingProgramFailsToStart()
{
    QElapsedTimer clock;
    clock.start();
    const CommandRun run = DOS_DOUKI({m_dir.filePath(u"no-such-tool"_s), {}}, StopToken());
    QCOMPARE(run.end, CommandRun::End::FailedToStart);
    QVERIFY(run.output.isEmpty());
    QVERIFY(clock.elapsed() < 5000);

    QCOMPARE(DOS_DOUKI({QString(), {}}, StopToken()).end, CommandRun::End::FailedToStart);
}

void TestCommandRunner::largeOutputIsReadWhole()
{
    // More than a pipe holds: a runner that only reads at the end would deadlock.
    const CommandRun run =
        DOS_DOUKI({tool(u"head"_s), {u"-c"_s, u"3000000"_s, u"/dev/zero"_s}}, StopToken());
    QVERIFY(run.finished());
    QCOMPARE(run.output.size(), 3000000);
}

void TestCommandRunner::commandPastTheBoundIsKilled()
{
    const QString pidFile = m_dir.filePath(u"bound.pid"_s);
    QElapsedTimer clock;
    clock.start();
    const CommandRun run =
        DOS_DOUKI(sleeperRecordingPid(pidFile), StopToken(), std::chrono::milliseconds(400));
    QCOMPARE(run.end, CommandRun::End::TimedOut);
    QVERIFY(clock.elapsed() >= 400);
    QVERIFY(clock.elapsed() < 10000);
    const qint64 pid = readPid(pidFile);
    QVERIFY(pid > 0);
    QVERIFY(processGone(pid));
}

void TestCommandRunner::stopKillsTheChildAtOnce()
{
    const QString pidFile = m_dir.filePath(u"stop.pid"_s);
    StopToken stop;
    // The stop comes once the child runs: a stop before it starts would prove nothing.
    std::thread canceller([&] {
        TestFiles::waitForContent(pidFile);
        stop.requestStop();
    });
    QElapsedTimer clock;
    clock.start();
    const CommandRun run = DOS_DOUKI(sleeperRecordingPid(pidFile), stop);
    const qint64 elapsed = clock.elapsed();
    canceller.join();
    QCOMPARE(run.end, CommandRun::End::Stopped);
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    const qint64 pid = readPid(pidFile);
    QVERIFY(pid > 0);
    QVERIFY(processGone(pid));
}

void TestCommandRunner::stopBeforeStartRunsNothing()
{
    const QString marker = m_dir.filePath(u"never"_s);
    StopToken stop;
    stop.requestStop();
    const CommandRun run = DOS_DOUKI({tool(u"touch"_s), {marker}}, stop);
    QCOMPARE(run.end, CommandRun::End::Stopped);
    QVERIFY(!QFileInfo::exists(marker));
}

void TestCommandRunner::waitingDoesNotSpin()
{
    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const CommandRun run = DOS_DOUKI({tool(u"sleep"_s), {u"1.5"_s}}, StopToken());
    const double cpu = threadCpuSeconds() - cpuBefore;
    QVERIFY(run.finished());
    QVERIFY(clock.elapsed() >= 1400);
    // A poll loop without sleeping would burn the whole wait on this thread.
    QVERIFY2(cpu < 0.3, qPrintable(QString::number(cpu)));
}

void TestCommandRunner::runsFromManyThreadsAtOnce()
{
    QList<int> numbers;
    for (int i = 0; i < 24; ++i)
        numbers.append(i);
    const QString echo = tool(u"echo"_s);
    const QList<QByteArray> outputs =
        QtConcurrent::blockingMapped(numbers, [echo](int i) -> QByteArray {
            const CommandRun run = DOS_DOUKI({echo, {QString::number(i)}}, StopToken());
            return run.finished() ? run.output : QByteArray("failed");
        });
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(outputs[i], QByteArray::number(i) + '\n');
}

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
