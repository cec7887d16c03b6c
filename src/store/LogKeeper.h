#pragma once

#include "store/HistoryLog.h"
#include "store/LogLock.h"
#include "store/SharedLog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// One program's hold on a list file, the history log above all: the lock that keeps a
// window and the command line from writing it under each other's feet, the log as this
// program last read or wrote it, and whether its list may replace the log at the end.
// The window, the command line and the program's start all judge the log through it,
// so that none of them can drift from the others.
class LogKeeper {
public:
    explicit LogKeeper(const QString& path);
    LogKeeper(const LogKeeper&) = delete;
    LogKeeper& operator=(const LogKeeper&) = delete;

    const QString& path() const { return m_path; }

    // What a window found when it claimed the file.
    enum class Claim {
        Taken,             // the lock is the window's, or there is none to take anywhere
        HolderCameForward, // the window that holds it was asked to the front instead
        HeldElsewhere,     // a window the start cannot reach holds it (see holderHost())
    };
    // For a window, which holds the lock for as long as it runs and keeps it fresh.
    // `askHolder` asks the window listening under a server name to come to the front,
    // true when one answered. Where no lock can be made nobody can be protected, and
    // the window runs as before.
    Claim claimForWindow(const std::function<bool(const QString& serverName)>& askHolder);
    // For a write of the command line, which holds the lock only while it writes
    // (until unlock() or the keeper goes): false while a window holds the file. Nobody
    // waits: a script must not hang on a window left open.
    bool claimForWrite();
    void unlock() { m_lock.unlock(); }
    bool isLocked() const { return m_lock.isLocked(); }
    // The computer named by the lock a claim found held; empty when it names none.
    QString holderHost() const { return m_lock.holderHost(); }
    // Where a window for this file answers a later start (RunningWindow).
    QString serverName() const { return m_lock.serverName(); }

    // The log as a window finds it at start, read on any thread.
    struct Start {
        LogFingerprint seen; // taken before the rows were read
        LoadedList list;
        QStringList keptCopies; // other programs' lists kept when a window last ended
    };
    // Reads the log and takes the note of kept copies (see takeKeptCopies).
    static Start readAtStart(const QString& path);
    // What readAtStart found is this window's now, `lstDat2` the list made of its rows
    // (which may have been moved out of `start`). A log that was there but not read
    // whole is kept as it is at the end, until the list is replaced.
    void started(const Start& start, const QStringList& lstDat2);
    bool hasStarted() const { return m_started; }
    bool keepsLog() const { return m_keep; }
    // A new survey or an import replaced the list: the end saves it, whatever the log
    // held before.
    void listReplaced() { m_keep = false; }

    // Saves a window's list at its end or a session's end, unless the log is kept: not
    // read yet (the empty list would delete it), not read whole, or written by another
    // program since while this list has not changed (saveLogGuarded). Not ok only when
    // the list should have reached the log and did not.
    TextFile::WriteResult saveAtEnd(const QStringList& lstDat2,
                                    const QDateTime& at = QDateTime::currentDateTime());

private:
    QString m_path;
    LogLock m_lock;
    bool m_started = false;
    bool m_keep = false;
    // The log as this window last read or wrote it, and the rows it then held: a log
    // that differs from it was written by another program since, and a list still equal
    // to those rows leaves that newer log alone.
    LogFingerprint m_seen;
    QStringList m_rows;
};
