// A start claims the history log: the lock it finds, the window it asks to come
// forward, and what it tells the user.
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include "store/LogKeeper.h"
#include "window/LogClaim.h"
#include "window/RunningWindow.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtConcurrent>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kRunning = u"Netroscope はすでに起動しています。"_s;
const QByteArray kOtherPc = "4242\nnetroscope\npc-b\n";

// While it lives, this process acts as another user; only a test run as root can. The
// saved id stays root's, so that the test is root again afterwards.
struct AnotherUser {
    static constexpr uid_t kId = 65534; // nobody
    static bool possible() { return ::geteuid() == 0; }
    AnotherUser() { (void)(::setresgid(kId, kId, 0) == 0 && ::setresuid(kId, kId, 0)); }
    ~AnotherUser() { (void)(::setresuid(0, 0, 0) == 0 && ::setresgid(0, 0, 0)); }
};

// A file as another program left it, `ageMs` ago.
bool leave(const QString& path, const QByteArray& bytes, qint64 ageMs)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.setFileTime(QDateTime::currentDateTime().addMSecs(-ageMs),
                            QFileDevice::FileModificationTime);
}

} // namespace

class TestLogClaim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startFindsTheLock_data();
    void startFindsTheLock();
    void lockKeptFreshStaysItsHolders();
    void startWaitsForAWindowOnce();

private:
    QTemporaryDir m_base;
};

void TestLogClaim::initTestCase()
{
    // The user's runtime folder, and a temporary folder any user may write.
    const QByteArray base = QFile::encodeName(m_base.path());
    QVERIFY(::chmod(base, 0755) == 0 && ::mkdir(base + "/run", 0700) == 0 &&
            ::mkdir(base + "/tmp", 0700) == 0 && ::chmod(base + "/tmp", 01777) == 0);
    qputenv("XDG_RUNTIME_DIR", base + "/run");
    qputenv("TMPDIR", base + "/tmp");
}

void TestLogClaim::startFindsTheLock_data()
{
    QTest::addColumn<QByteArray>("lock"); // left as the lock; null: a window here holds it
    QTest::addColumn<qint64>("ageMs");
    // A "link" in the lock's place to those bytes; "nobody" else starts; another user
    // "makes" the window's socket first, or "listens" on it.
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("outcome"); // "taken", "refused" (no lock) or the box's text

    const QString onPcB = kRunning + u"\r\n使用中のコンピューター: pc-b"_s;
    const QString here = kRunning + u"\r\n使用中のコンピューター: "_s + QSysInfo::machineHostName();
    const qint64 hour = 3600'000;
    QTest::newRow("a window on another computer") << kOtherPc << 0LL << u""_s << onPcB;
    QTest::newRow("another computer's, an hour old") << kOtherPc << hour << u""_s << u"taken"_s;
    QTest::newRow("being written now") << QByteArray("") << 0LL << u""_s << kRunning;
    QTest::newRow("empty after a power cut") << QByteArray("") << 60'000LL << u""_s << u"taken"_s;
    QTest::newRow("a host name that would steer a terminal")
        << QByteArray("4242\nnetroscope\npc\x1b]0;x\x07-b\r\n") << 0LL << u""_s
        << QString(onPcB).replace(u"pc-b"_s, u"pc]0;x-b"_s);
    QTest::newRow("a link in its place") << kOtherPc << 0LL << u"link"_s << u"refused"_s;
    QTest::newRow("an hour old, in a folder another user may not write")
        << kOtherPc << hour << u"nobody"_s << u"refused"_s;
    QTest::newRow("another user took the window's name first")
        << QByteArray() << 0LL << u"makes"_s << here;
    QTest::newRow("another user's program listens under the name")
        << QByteArray() << 0LL << u"listens"_s << here;
}

void TestLogClaim::startFindsTheLock()
{
    QFETCH(QByteArray, lock);
    QFETCH(qint64, ageMs);
    QFETCH(QString, how);
    QFETCH(QString, outcome);
    if (!how.isEmpty() && how != u"link" && !AnotherUser::possible())
        QSKIP("acts as another user: root only");
    const QTemporaryDir dir(m_base.filePath(u"log-XXXXXX"_s));
    QVERIFY(::chmod(QFile::encodeName(dir.path()), 0755) == 0);
    const QString log = dir.filePath(u"Netroscope.log"_s);
    const QString elsewhere = dir.filePath(u"elsewhere"_s);
    LogLock window(log);
    QVERIFY(lock.isNull() ? window.tryLock()
                          : leave(how == u"link" ? elsewhere : log + u".lock"_s, lock, ageMs));
    QVERIFY(how != u"link" || QFile::link(elsewhere, log + u".lock"_s));

    // Another user at the window's name cannot make it; a program of theirs that listens
    // there all the same is no window of this user's.
    QLocalServer squatter;
    if (how == u"makes" || how == u"listens") {
        const QString name = window.serverName();
        const QByteArray run = QFile::encodeName(m_base.filePath(u"run"_s));
        QVERIFY(how == u"makes" || ::chown(run, AnotherUser::kId, 0) == 0);
        const bool listens = [&] {
            const AnotherUser nobody;
            return squatter.listen(name);
        }();
        QVERIFY(::chown(run, 0, 0) == 0);
        QCOMPARE(listens, how == u"listens");
    }

    LogKeeper start(log);
    ScriptedMessageBoxes boxes;
    const bool opens = how != u"nobody" ? claimTheLog(start, boxes) : [&] {
        const AnotherUser nobody;
        return claimTheLog(start, boxes);
    }();
    QCOMPARE(opens ? start.isLocked() ? u"taken"_s : u"refused"_s : boxes.asked.value(0).text,
             outcome);
    QCOMPARE(boxes.asked.size(), opens ? 0 : 1);
    QVERIFY(how != u"link" || TestFiles::readBytes(elsewhere) == lock);
}

void TestLogClaim::lockKeptFreshStaysItsHolders()
{
    // A window open for weeks: its lock file was written long ago, and renewed since.
    const QString lockFile = m_base.filePath(u"Netroscope.log.lock"_s);
    LogLock window(m_base.filePath(u"Netroscope.log"_s));
    QVERIFY(window.tryLock());
    QVERIFY(leave(lockFile, TestFiles::readBytes(lockFile), 3600'000) && window.renew());
    QVERIFY(QFileInfo(lockFile).lastModified().msecsTo(QDateTime::currentDateTime()) <
            LogLock::kStaleAfterMs);
    // Taken over meanwhile (by a computer that found it abandoned, or by hand): the
    // window lets it go, and leaves the new holder's file as it is.
    QVERIFY(QFile::remove(lockFile) && leave(lockFile, kOtherPc, 0));
    QVERIFY(!window.renew() && !window.isLocked());
    window.unlock();
    QCOMPARE(TestFiles::readBytes(lockFile), kOtherPc);
}

void TestLogClaim::startWaitsForAWindowOnce()
{
    // A window of this user that never finishes its answer keeps a later start no longer.
    const QString name = LogLock(m_base.filePath(u"Netroscope.log"_s)).serverName();
    QLocalServer window;
    QVERIFY(window.listen(name));
    QTimer drip;
    connect(&drip, &QTimer::timeout, &window, [&] {
        for (QLocalSocket* later : window.findChildren<QLocalSocket*>())
            later->write("o");
    });
    drip.start(100);
    QFuture<std::pair<bool, bool>> asked = QtConcurrent::run([name] {
        bool cameForward = true;
        const bool found =
            RunningWindow::askToComeForward(name, &cameForward, std::chrono::seconds(1));
        return std::pair{found, cameForward};
    });
    QTRY_VERIFY_WITH_TIMEOUT(asked.isFinished(), 30000);
    QCOMPARE(asked.result(), std::pair(true, false));
}

QTEST_GUILESS_MAIN(TestLogClaim)
#include "tst_logclaim.moc"
