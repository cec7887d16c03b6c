#pragma once

#include "probes/NetworkProbes.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

// A scripted stand-in for the system's probes. Every answer comes from a script per
// address; every call is recorded. Calls may run on any thread at once, as the real
// probes do. A test can hold calls at a gate until it releases them, to look at a run
// mid-flight; a held ping or MAC probe also gives up when its stop token fires.
class FakeProbes : public NetworkProbes {
public:
    // Procedure names as recorded in calls().
    static inline const QString kToolsPresent = QStringLiteral("PingDllChk");
    static inline const QString kOwnIdentity = QStringLiteral("OwnIdentity");
    static inline const QString kHostToIp = QStringLiteral("HostToIp");
    static inline const QString kIpToHost = QStringLiteral("IpToHost");
    static inline const QString kPing = QStringLiteral("subPing");
    static inline const QString kMacOf = QStringLiteral("subMacGet");

    struct Script {
        QString host;          // what IpToHost gives
        bool answered = false; // whether the one ping is answered
        QString mac;           // what subMacGet gives
        bool pingError = false;
        bool macError = false;
        bool tableUnread = false; // the ping could not read the neighbour table
        int delayMs = 0;          // each of IpToHost, subPing and subMacGet takes this long
        bool arpOnly = false;     // no echo reply, but an ARP reply during the wait
    };

    struct Call {
        QString procedure;
        QString argument;
    };

    FakeProbes();

    // Addresses without a script of their own get the default one (nobody there).
    void setScript(const QString& ip, const Script& script);
    void setDefaultScript(const Script& script);
    void setToolsPresent(bool present);
    void setOwnIdentity(const OwnIdentity& me);
    void setHostToIp(const QString& name, const QString& ip);

    // Calls of `procedure` (for `argument`, or for any argument when it is empty) wait
    // until released. A waiting subPing or subMacGet also returns when stopped.
    void hold(const QString& procedure, const QString& argument = {});
    void release(const QString& procedure, const QString& argument = {});
    void releaseAll();
    int waitingCount() const;
    // Blocks the calling thread until at least `count` calls wait at a gate.
    bool waitForWaiting(int count, int timeoutMs = 5000) const;

    QList<Call> calls() const;
    // Calls of `procedure`, for `argument` or for any argument when it is empty.
    int callCount(const QString& procedure, const QString& argument = {}) const;
    // The arguments `procedure` was called with, in the order the calls began.
    QStringList argumentsOf(const QString& procedure) const;
    // The stop tokens the ping and MAC probes were given, in call order.
    QList<StopToken> stopTokens() const;
    // Probe calls that ended early because their stop token fired.
    int stoppedCount() const;
    // The most IpToHost, subPing and subMacGet calls that ran at the same time.
    int maxConcurrent() const;
    // Probe calls still running.
    int running() const;
    void clearCalls();

    bool toolsPresent() override;
    OwnIdentity ownIdentity() override;
    QString hostToIp(const QString& name) override;
    QString ipToHost(const QString& ip) override;
    PingOutcome ping(const QString& ip, const StopToken& stop) override;
    MacOutcome macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop) override;
    // As the system's probes are started: on threads of their own, reporting when done.
    void startPing(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                   const PingReport& report) override;
    void startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                      const Report& report) override;
    QList<AttachedNetwork> attachedNetworks() override { return attached; }

    QList<AttachedNetwork> attached; // what attachedNetworks gives

private:
    Script scriptFor(const QString& ip) const;
    // Records the call, waits at a gate and for the delay. False when stopped.
    bool enter(const QString& procedure, const QString& argument, int delayMs,
               const StopToken* stop);
    void leave();
    bool heldLocked(const QString& procedure, const QString& argument) const;

    mutable QMutex m_mutex;
    mutable QWaitCondition m_changed;
    QHash<QString, Script> m_scripts;
    Script m_default;
    bool m_toolsPresent = true;
    OwnIdentity m_me;
    QHash<QString, QString> m_hostToIp;
    QList<QPair<QString, QString>> m_holds;
    QList<Call> m_calls;
    QList<StopToken> m_tokens;
    int m_waiting = 0;
    int m_stopped = 0;
    int m_running = 0;
    int m_maxConcurrent = 0;
    QThreadPool m_threads; // last: its calls end before the rest goes
};
