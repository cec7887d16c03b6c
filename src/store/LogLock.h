#pragma once

#include "store/LockFileAccess.h"

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <memory>

class QTimer;

// A list file belongs to one window at a time: the window that shows it holds this
// lock for as long as it runs, so that a second window for the same log brings the
// first to the front instead of showing a second list, and the command line leaves
// the file alone instead of writing under the window's feet. The lock is a file
// beside the list ("Netroscope.log.lock") naming its holder's process and computer.
//
// The folder may be shared by several computers, where a holder's process cannot be
// looked up: a lock is then judged by its age, and a window renews its lock while it
// runs (keepFresh). So a lock left by a program that was killed, by a computer that
// went down or by a power cut never keeps the program from starting for long.
class LogLock {
public:
    // A lock older than this is abandoned. A window renews its lock far more often;
    // the rest allows for a network folder's cached times, two computers' clocks that
    // differ and a window busy for a while.
    static constexpr int kStaleAfterMs = 5 * 60 * 1000;
    static constexpr int kRenewEveryMs = 60 * 1000;
    // A holder writes its lines at once after making the file: a lock without them for
    // longer was cut short (a crash, a power cut that kept the file but not its bytes).
    static constexpr int kUnwrittenAfterMs = 10 * 1000;

    explicit LogLock(const QString& listPath);
    ~LogLock();
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

    // Takes the lock without waiting, or for up to `timeoutMs`. False while another
    // program holds it (see `holderHost()`), or when there is no lock to take (see
    // `refused()`).
    bool tryLock(int timeoutMs = 0);
    bool isLocked() const;
    void unlock();
    // The lock could not be taken, yet nobody holds it: the folder takes no lock file,
    // something that is no lock file lies in its place, or an abandoned lock cannot be
    // removed. Nobody can be protected there, and nobody waits.
    bool refused() const;
    // The computer named by the lock that the last `tryLock` found held, made fit for a
    // message; empty when the lock names none.
    QString holderHost() const;

    // Renews the held lock's time every kRenewEveryMs while the event loop runs, on a
    // worker thread.
    void keepFresh();
    // Renews the held lock's time once. False when it is no longer this program's
    // (removed by hand, or taken over by a computer that found it abandoned): it is then
    // let go, and left alone at unlock.
    bool renew();

    // The name a window for this list answers under (QLocalServer), the same for
    // every program of this user that opens the same file: a socket in the user's own
    // runtime folder, which no other user can take first. Empty without that folder.
    QString serverName() const;

    // The lock file for a list, beside it.
    static QString lockPathFor(const QString& listPath);

private:
    bool takeAbandoned();
    void tookIt();
    // What a renewal found, as renew() returns it; the lock is let go if not ours.
    bool settle(LockRenewal renewal);

    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    QByteArray m_ownBytes; // the lock file as this program wrote it
    QString m_holderHost;
    bool m_refused = false;
    std::unique_ptr<QTimer> m_renewal;
};
