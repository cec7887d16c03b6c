#include "FakeProbes.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace {
// Stop tokens cannot wake a waiter, so a stoppable wait looks at its token this often.
constexpr int kPollMs = 2;
} // namespace

FakeProbes::FakeProbes()
{
    prepareThreads(m_threads);
}

void FakeProbes::setScript(const QString& ip, const Script& script)
{
    QMutexLocker lock(&m_mutex);
    m_scripts.insert(ip, script);
}

void FakeProbes::setDefaultScript(const Script& script)
{
    QMutexLocker lock(&m_mutex);
    m_default = script;
}

void FakeProbes::setToolsPresent(bool present)
{
    QMutexLocker lock(&m_mutex);
    m_toolsPresent = present;
}

void FakeProbes::setOwnIdentity(const OwnIdentity& me)
{
    QMutexLocker lock(&m_mutex);
    m_me = me;
}

void FakeProbes::setHostToIp(const QString& name, const QString& ip)
{
    QMutexLocker lock(&m_mutex);
    m_hostToIp.insert(name, ip);
}

void FakeProbes::hold(const QString& procedure, const QString& argument)
{
    QMutexLocker lock(&m_mutex);
    m_holds.append({procedure, argument});
}

void FakeProbes::release(const QString& procedure, const QString& argument)
{
    QMutexLocker lock(&m_mutex);
    m_holds.removeAll(QPair<QString, QString>(procedure, argument));
    m_changed.wakeAll();
}

void FakeProbes::releaseAll()
{
    QMutexLocker lock(&m_mutex);
    m_holds.clear();
    m_changed.wakeAll();
}

int FakeProbes::waitingCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_waiting;
}

bool FakeProbes::waitForWaiting(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (m_waiting < count) {
        if (!m_changed.wait(&m_mutex, deadline))
            return m_waiting >= count;
    }
    return true;
}

QList<FakeProbes::Call> FakeProbes::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

int FakeProbes::callCount(const QString& procedure, const QString& argument) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_calls.cbegin(), m_calls.cend(), [&](const Call& call) {
        return call.procedure == procedure && (argument.isEmpty() || call.argument == argument);
    }));
}

QStringList FakeProbes::argumentsOf(const QString& procedure) const
{
    QMutexLocker lock(&m_mutex);
    QStringList arguments;
    for (const Call& call : m_calls) {
        if (call.procedure == procedure)
            arguments.append(call.argument);
    }
    return arguments;
}

QList<StopToken> FakeProbes::stopTokens() const
{
    QMutexLocker lock(&m_mutex);
    return m_tokens;
}

int FakeProbes::stoppedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_stopped;
}

int FakeProbes::maxConcurrent() const
{
    QMutexLocker lock(&m_mutex);
    return m_maxConcurrent;
}

int FakeProbes::running() const
{
    QMutexLocker lock(&m_mutex);
    return m_running;
}

void FakeProbes::clearCalls()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
    m_tokens.clear();
    m_stopped = 0;
    m_maxConcurrent = m_running;
}

bool FakeProbes::toolsPresent()
{
    QMutexLocker lock(&m_mutex);
    m_calls.append({kToolsPresent, {}});
    return m_toolsPresent;
}

OwnIdentity FakeProbes::ownIdentity()
{
    enter(kOwnIdentity, {}, 0, nullptr);
    leave();
    QMutexLocker lock(&m_mutex);
    return m_me;
}

QString FakeProbes::hostToIp(const QString& name)
{
    enter(kHostToIp, name, 0, nullptr);
    leave();
    QMutexLocker lock(&m_mutex);
    return m_hostToIp.value(name);
}

QString FakeProbes::ipToHost(const QString& ip)
{
    const Script script = scriptFor(ip);
    enter(kIpToHost, ip, script.delayMs, nullptr);
    leave();
    return script.host;
}

PingOutcome FakeProbes::ping(const QString& ip, const StopToken& stop)
{
    const Script script = scriptFor(ip);
    const bool completed = enter(kPing, ip, script.delayMs, &stop);
    leave();
    if (!completed)
        return {};
    return {script.answered && !script.pingError, script.pingError,
            script.arpOnly && !script.answered, script.tableUnread};
}

MacOutcome FakeProbes::macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop)
{
    const Script script = scriptFor(ip);
    const bool completed = enter(kMacOf, ip, script.delayMs, &stop);
    leave();
    if (!completed)
        return {};
    if (ip == me.myIp && !me.myIp.isEmpty())
        return {me.myMac, false};
    if (script.macError)
        return {QString(), true};
    return {script.mac, false};
}

void FakeProbes::startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                              const Report& report)
{
    startOnThreads(m_threads, ip, me, stop, report);
}

void FakeProbes::startPing(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                           const PingReport& report)
{
    startPingOnThreads(m_threads, ip, me, stop, report);
}

FakeProbes::Script FakeProbes::scriptFor(const QString& ip) const
{
    QMutexLocker lock(&m_mutex);
    return m_scripts.value(ip, m_default);
}

bool FakeProbes::heldLocked(const QString& procedure, const QString& argument) const
{
    return std::any_of(m_holds.cbegin(), m_holds.cend(), [&](const QPair<QString, QString>& h) {
        return h.first == procedure && (h.second.isEmpty() || h.second == argument);
    });
}

bool FakeProbes::enter(const QString& procedure, const QString& argument, int delayMs,
                       const StopToken* stop)
{
    QMutexLocker lock(&m_mutex);
    m_calls.append({procedure, argument});
    if (stop)
        m_tokens.append(*stop);
    ++m_running;
    m_maxConcurrent = std::max(m_maxConcurrent, m_running);

    auto stopped = [&] {
        return stop && stop->stopRequested();
    };
    if (heldLocked(procedure, argument)) {
        ++m_waiting;
        m_changed.wakeAll();
        while (heldLocked(procedure, argument) && !stopped())
            m_changed.wait(&m_mutex, stop ? QDeadlineTimer(kPollMs) : QDeadlineTimer::Forever);
        --m_waiting;
    }
    QDeadlineTimer delay(delayMs);
    while (!delay.hasExpired() && !stopped())
        m_changed.wait(&m_mutex,
                       stop ? QDeadlineTimer(std::min<qint64>(kPollMs, delay.remainingTime()))
                            : delay);
    if (stopped()) {
        ++m_stopped;
        return false;
    }
    return true;
}

void FakeProbes::leave()
{
    QMutexLocker lock(&m_mutex);
    --m_running;
}
