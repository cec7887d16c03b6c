#include "store/LogLock.h"

#include <QCryptographicHash>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

LogLock::LogLock(const QString& listPath)
    : m_lockPath(lockPathFor(listPath))
    , m_lock(m_lockPath)
{
    // A window may run for weeks: only a holder that is no longer running makes a
    // lock stale, never its age.
    m_lock.setStaleLockTime(0);
}

bool LogLock::tryLock(int timeoutMs)
{
    return m_lock.tryLock(timeoutMs);
}

bool LogLock::isLocked() const
{
    return m_lock.isLocked();
}

void LogLock::unlock()
{
    m_lock.unlock();
}

bool LogLock::refused() const
{
    return !m_lock.isLocked() && m_lock.error() != QLockFile::LockFailedError;
}

QString LogLock::serverName() const
{
    const QByteArray hash =
        QCryptographicHash::hash(m_lockPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    return u"netroscope-"_s + QString::fromLatin1(hash.left(16));
}

QString LogLock::lockPathFor(const QString& listPath)
{
    // The same file reached by another path (relative, through a linked folder) is the
    // same list, whether it exists yet or not.
    const QFileInfo info(listPath);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName() + u".lock"_s;
}
