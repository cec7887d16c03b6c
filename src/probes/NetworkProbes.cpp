#include "probes/NetworkProbes.h"

AddressFindings NetworkProbes::probeAddress(const QString& ip, const OwnIdentity& me,
                                            const StopToken& stop)
{
    AddressFindings found;
    if (stop.stopRequested())
        return found;
    found.host = ipToHost(ip);
    if (stop.stopRequested())
        return found;
    afterPing(found, ping(ip, stop), ip, me, stop);
    return found;
}

void NetworkProbes::startOnThreads(QThreadPool& threads, const QString& ip, const OwnIdentity& me,
                                   const StopToken& stop, const Report& report)
{
    threads.start([this, ip, me, stop, report] { report(probeAddress(ip, me, stop)); });
}

void NetworkProbes::startPingOnThreads(QThreadPool& threads, const QString& ip,
                                       const OwnIdentity& me, const StopToken& stop,
                                       const PingReport& report)
{
    threads.start([this, ip, me, stop, report] {
        PingFindings found;
        found.ping = ping(ip, stop);
        found.mac = macIfPresent(found.ping, ip, me, stop);
        report(found);
    });
}

void NetworkProbes::prepareThreads(QThreadPool& threads)
{
    // A whole range of probe threads at the default 8 MiB each would reserve 2 GiB of
    // address space, which a limit on it turns into threads that never start. A probe
    // needs little stack; the C library's resolver sizes its buffers to the stack.
    threads.setStackSize(1024 * 1024);
    // The survey keeps no more addresses in flight than the process can afford.
    threads.setMaxThreadCount(1024);
}

void NetworkProbes::afterPing(AddressFindings& found, const PingOutcome& ping, const QString& ip,
                              const OwnIdentity& me, const StopToken& stop)
{
    found.pingError = ping.error;
    found.neighboursUnread = ping.neighboursUnread;
    found.presence = ping.answered  ? Presence::Echo
                     : ping.present ? Presence::Arp
                                    : Presence::Unseen;
    const MacOutcome mac = macIfPresent(ping, ip, me, stop);
    found.mac = mac.mac;
    found.macError = mac.error;
}

MacOutcome NetworkProbes::macIfPresent(const PingOutcome& ping, const QString& ip,
                                       const OwnIdentity& me, const StopToken& stop)
{
    if (!(ping.answered || ping.present) || stop.stopRequested())
        return {};
    return macOf(ip, me, stop);
}
