#pragma once

#include <QLockFile>
#include <QString>

// A list file belongs to one window at a time: the window that shows it holds this
// lock for as long as it runs, so that a second window for the same log brings the
// first to the front instead of showing a second list, and the command line leaves
// the file alone instead of writing under the window's feet. The lock is a file
// beside the list ("Netroscope.log.lock"); one left behind by a program that was
// killed is stale and taken over, so a crash never keeps the program from starting.
class LogLock {
public:
    explicit LogLock(const QString& listPath);

    // Takes the lock without waiting, or for up to `timeoutMs`. False while another
    // running program holds it, or when the lock file cannot be written at all
    // (see `refused()`).
    bool tryLock(int timeoutMs = 0);
    bool isLocked() const;
    void unlock();
    // The lock could not be taken because the folder does not take it, not because
    // someone holds it: nobody can be protected there, and nobody waits.
    bool refused() const;

    // The name a window for this list answers under (QLocalServer), the same for
    // every program that opens the same file.
    QString serverName() const;

    // The lock file for a list, beside it.
    static QString lockPathFor(const QString& listPath);

private:
    QString m_lockPath;
    QLockFile m_lock;
};
