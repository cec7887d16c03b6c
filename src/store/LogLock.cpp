#include "store/LogLock.h"

#include "store/LockFileAccess.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QList>
#include <QStandardPaths>
#include <QTimer>
#include <QtConcurrent>

using namespace Qt::Literals::StringLiterals;

namespace {

// What a lock file says of its holder: Qt writes the process id, the program and the
// computer's name, a line each.
struct Holder {
    bool named = false;
    QString host;
};

Holder holderIn(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    bool isNumber = false;
    Holder holder;
    holder.named = lines.size() > 2 && lines.at(0).toLongLong(&isNumber) > 0 && isNumber;
    if (!holder.named)
        return holder;
    // Anyone who can write into the folder can write this line: it goes into a message
    // as a name, printable and short, or not at all.
    for (const QChar c : QString::fromUtf8(lines.at(2).left(64))) {
        if (c.isPrint() && c != u'\uFFFD')
            holder.host.append(c);
    }
    return holder;
}

// Neither the lock nor Qt's file for removing an abandoned lock may be anything but a
// lock file: Qt would read through a link, wait on a pipe or read a large file whole.
bool noLockFileInPlace(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() ||
           (info.exists() && (!info.isFile() || info.size() > kMaxLockFileBytes));
}

// Qt removes an abandoned lock only where it may write both the lock and its folder.
bool mayRemove(const QString& path)
{
    const QFileInfo info(path);
    return info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
}

// A QLockFile removes its file by name as it is destroyed; one whose name another
// holder now has is kept here, never destroyed.
QList<QLockFile*>& letGo()
{
    static auto* locks = new QList<QLockFile*>;
    return *locks;
}

} // namespace

LogLock::LogLock(const QString& listPath)
    : m_lockPath(lockPathFor(listPath))
    , m_lock(std::make_unique<QLockFile>(m_lockPath))
{
    m_lock->setStaleLockTime(kStaleAfterMs);
}

LogLock::~LogLock() = default;

bool LogLock::tryLock(int timeoutMs)
{
    m_holderHost.clear();
    m_refused = noLockFileInPlace(m_lockPath) || noLockFileInPlace(m_lockPath + u".rmlock"_s);
    if (m_refused)
        return false;
    if (m_lock->tryLock(timeoutMs) || takeAbandoned()) {
        tookIt();
        return true;
    }
    return false;
}

// Qt takes over a lock older than the stale time by itself, and one whose holder is
// no longer running on this computer. A lock without a holder's lines it keeps for
// the whole stale time, and one it may not remove for ever.
bool LogLock::takeAbandoned()
{
    if (m_lock->error() != QLockFile::LockFailedError)
        return false;
    const std::optional<LockFileSeen> seen = readLockFile(m_lockPath);
    const Holder holder = seen ? holderIn(seen->bytes) : Holder{};
    m_holderHost = holder.host;
    const QDateTime modified = seen ? seen->modified : QFileInfo(m_lockPath).lastModified().toUTC();
    const qint64 age = qAbs(modified.msecsTo(QDateTime::currentDateTimeUtc()));
    const bool unwritten = seen && !holder.named;
    if (age <= kStaleAfterMs && !(unwritten && age > kUnwrittenAfterMs))
        return false;
    if (!mayRemove(m_lockPath)) {
        m_refused = true;
        return false;
    }
    if (!unwritten)
        return false; // Qt found it held all the same: its holder still has it open
    // As Qt does, one program at a time removes it, and only as it was judged.
    QLockFile removing(m_lockPath + u".rmlock"_s);
    if (!removing.tryLock())
        return false;
    const std::optional<LockFileSeen> again = readLockFile(m_lockPath);
    if (!again || again->bytes != seen->bytes || again->modified != seen->modified)
        return false;
    return m_lock->removeStaleLockFile() && m_lock->tryLock(0);
}

void LogLock::tookIt()
{
    const std::optional<LockFileSeen> own = readLockFile(m_lockPath);
    m_ownBytes = own ? own->bytes : QByteArray();
}

bool LogLock::isLocked() const
{
    return m_lock->isLocked();
}

void LogLock::unlock()
{
    m_renewal.reset();
    m_lock->unlock();
}

bool LogLock::refused() const
{
    return m_refused || (!m_lock->isLocked() && m_lock->error() != QLockFile::LockFailedError);
}

QString LogLock::holderHost() const
{
    return m_holderHost;
}

void LogLock::keepFresh()
{
    if (!m_lock->isLocked() || m_renewal)
        return;
    m_renewal = std::make_unique<QTimer>();
    m_renewal->setInterval(kRenewEveryMs);
    // The folder may be a network one that hangs: the window's thread never waits on it.
    // A renewal still under way when the lock is let go is no longer heard.
    auto* renewing = new QFutureWatcher<LockRenewal>(m_renewal.get());
    QObject::connect(renewing, &QFutureWatcherBase::finished, renewing,
                     [this, renewing] { settle(renewing->result()); });
    QObject::connect(m_renewal.get(), &QTimer::timeout, renewing, [this, renewing] {
        if (renewing->isRunning() || m_ownBytes.isEmpty())
            return;
        renewing->setFuture(QtConcurrent::run(
            [path = m_lockPath, bytes = m_ownBytes] { return renewLockFile(path, bytes); }));
    });
    m_renewal->start();
}

bool LogLock::renew()
{
    if (!m_lock->isLocked())
        return false;
    // A lock whose lines could not be read back cannot be told from another's.
    return m_ownBytes.isEmpty() || settle(renewLockFile(m_lockPath, m_ownBytes));
}

bool LogLock::settle(LockRenewal renewal)
{
    if (renewal != LockRenewal::NotOurs || !m_lock->isLocked())
        return m_lock->isLocked();
    if (m_renewal)
        m_renewal->stop(); // this may be its own tick
    letGo().append(m_lock.release());
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(kStaleAfterMs);
    return false;
}

QString LogLock::serverName() const
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return {};
    const QByteArray hash =
        QCryptographicHash::hash(m_lockPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder + u"/netroscope-"_s + QString::fromLatin1(hash.left(16));
}

QString LogLock::lockPathFor(const QString& listPath)
{
    // The same file reached by another path (relative, through a linked folder) is the
    // same list, whether it exists yet or not.
    const QFileInfo info(listPath);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName() + u".lock"_s;
}
