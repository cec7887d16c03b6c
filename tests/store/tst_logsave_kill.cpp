#include "store/HistoryLog.h"

#include "BigLog.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Large enough that a save takes a while to kill in the middle of, small enough that
// twenty of them fit a loaded machine under AddressSanitizer.
constexpr int kRows = 150000;

bool waitForLine(QProcess& process, const QByteArray& line, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (process.canReadLine()) {
            if (process.readLine().trimmed() == line)
                return true;
        }
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
    }
    return false;
}

} // namespace

class TestLogSaveKill : public QObject {
    Q_OBJECT
private slots:
    void killDuringSaveLeavesOldOrNewLog();
};

void TestLogSaveKill::killDuringSaveLeavesOldOrNewLog()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(u"Netroscope.log"_s);
    const QStringList oldList{AddressList::csvHeader(), u"198.18.0.1,ルータ,00-11-22-33-44-55"_s,
                              u"198.18.0.2,,"_s};
    const QStringList newList = bigLogList(kRows);

    QTemporaryDir refDir;
    QVERIFY(subLogSave(oldList, refDir.filePath(u"old"_s)).ok);
    QVERIFY(subLogSave(newList, refDir.filePath(u"new"_s)).ok);
    const QByteArray oldBytes = TestFiles::readBytes(refDir.filePath(u"old"_s));
    const QByteArray newBytes = TestFiles::readBytes(refDir.filePath(u"new"_s));
    QVERIFY(newBytes.size() > 5'000'000);

    const QStringList childArgs{log, QString::number(kRows)};

    // How long one save takes in the child, so the kills can be spread across it.
    qint64 saveMs = 0;
    {
        QProcess child;
        child.start(QStringLiteral(LOGSAVE_CHILD), childArgs);
        QVERIFY(waitForLine(child, "saving"));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(waitForLine(child, "saved"));
        saveMs = timer.elapsed();
        child.kill();
        child.waitForFinished();
    }
    qInfo("one save of %lld bytes takes about %lld ms", qint64(newBytes.size()), saveMs);

    constexpr int kRounds = 20;
    int oldSeen = 0;
    int newSeen = 0;
    for (int round = 0; round < kRounds; ++round) {
        QVERIFY(subLogSave(oldList, log).ok);

        QProcess child;
        child.start(QStringLiteral(LOGSAVE_CHILD), childArgs);
        QVERIFY(waitForLine(child, "saving"));
        QTest::qSleep(int(saveMs * (round + 0.5) / kRounds));
        child.kill(); // SIGKILL: no clean-up runs in the child
        QVERIFY(child.waitForFinished());

        const QByteArray onDisk = TestFiles::readBytes(log);
        if (onDisk == oldBytes) {
            ++oldSeen;
        } else {
            QVERIFY2(onDisk == newBytes, qPrintable(u"round %1: log of %2 bytes is neither old "
                                                    u"nor new"_s.arg(round)
                                                        .arg(onDisk.size())));
            ++newSeen;
        }

        // Whatever the kill left beside the log, the loader reads the log and only it.
        const LoadedList loaded = subListLoad(log);
        QVERIFY(loaded.opened);
        QCOMPARE(loaded.rows.size() + 1, onDisk == oldBytes ? oldList.size() : newList.size());
        if (onDisk == oldBytes)
            QCOMPARE(loaded.rows, oldList.mid(1));

        // Stray temporary files do not hinder the next save either.
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden)) {
            if (name != u"Netroscope.log"_s)
                QFile::remove(dir.filePath(name));
        }
    }
    qInfo("kills before the commit: %d, after: %d", oldSeen, newSeen);
    // The early kills land before the new log is complete; had the save truncated the
    // old log first, they would have left a short file and failed above.
    QVERIFY(oldSeen > 0);
}

QTEST_GUILESS_MAIN(TestLogSaveKill)
#include "tst_logsave_kill.moc"
