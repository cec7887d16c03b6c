#include "store/LogKeeper.h"

LogKeeper::LogKeeper(const QString& path)
    : m_path(path)
    , m_lock(path)
{}

LogKeeper::Claim
LogKeeper::claimForWindow(const std::function<bool(const QString& serverName)>& askHolder)
{
    const auto taken = [this] {
        if (m_lock.isLocked())
            m_lock.keepFresh();
        return Claim::Taken;
    };
    if (m_lock.tryLock() || m_lock.refused())
        return taken();
    if (askHolder(m_lock.serverName()))
        return Claim::HolderCameForward;
    // The command line holds the lock only while it writes; a window would have answered,
    // unless it runs on another computer that shares the folder, or as another user.
    if (m_lock.tryLock(1000) || m_lock.refused())
        return taken();
    return Claim::HeldElsewhere;
}

bool LogKeeper::claimForWrite()
{
    return m_lock.tryLock() || m_lock.refused();
}

LogKeeper::Start LogKeeper::readAtStart(const QString& path)
{
    Start start;
    start.seen = fingerprintOf(path);
    start.list = subListLoad(path);
    start.keptCopies = takeKeptCopies(path);
    return start;
}

void LogKeeper::started(const Start& start, const QStringList& lstDat2)
{
    m_started = true;
    m_seen = start.seen;
    m_rows = lstDat2.mid(1);
    m_keep = !start.list.opened && start.list.failure != TextFile::ReadResult::Missing;
}

TextFile::WriteResult LogKeeper::saveAtEnd(const QStringList& lstDat2, const QDateTime& at)
{
    if (!m_started || m_keep)
        return {true, {}};
    const GuardedSave saved = saveLogGuarded(lstDat2, m_path, m_seen, lstDat2.mid(1) != m_rows, at);
    // A newer log left as it was stays the other program's: a later save decides the
    // same way.
    if (saved.written.ok && !saved.leftNewer) {
        m_seen = saved.seen;
        m_rows = lstDat2.mid(1);
    }
    return saved.written;
}
