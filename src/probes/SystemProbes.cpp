#include "probes/SystemProbes.h"

#include "probes/host/ArpTable.h"
#include "probes/host/ComputerName.h"
#include "probes/host/LocalIdentity.h"
#include "probes/host/PingProbe.h"
#include "probes/host/Resolver.h"
#include "probes/platform/PlatformProfile.h"
#include "probes/sweep/AddressSweep.h"

#include <QHostAddress>

using namespace Qt::Literals::StringLiterals;

SystemProbes::SystemProbes()
    : SystemProbes(PlatformProfile::system())
{}

SystemProbes::SystemProbes(const PlatformProfile& profile)
    : m_profile(profile)
{
    prepareThreads(m_threads);
}

SystemProbes::~SystemProbes() = default;

bool SystemProbes::toolsPresent()
{
    return PingDllChk(m_profile);
}

OwnIdentity SystemProbes::ownIdentity()
{
    OwnIdentity me;
    me.pcName = GetPcName(m_profile);
    me.myIp = preferredOwnAddress(HostToIp(m_profile, me.pcName), localInterfaces(),
                                  m_profile.names().defaultRouteInterface());
    me.myMac = MacGet(m_profile, me.myIp);
    return me;
}

QString SystemProbes::hostToIp(const QString& name)
{
    const QString resolved = HostToIp(m_profile, name);
    if (!resolved.isEmpty() || name.isEmpty())
        return resolved;
    // The /24 of the PC's first LAN address is where a NetBIOS name is asked for.
    const QString own = preferredOwnAddress(u"127.0.0.1"_s, localInterfaces(),
                                            m_profile.names().defaultRouteInterface());
    const std::optional<quint32> ownAddress = m_profile.names().parseAddress(own);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPingWaitSeconds);
    const std::optional<quint32> found =
        m_profile.lan().lanAddress(name, ownAddress.value_or(0), deadline, StopToken());
    return found ? QHostAddress(*found).toString() : QString();
}

QString SystemProbes::ipToHost(const QString& ip)
{
    const QString resolved = IpToHost(m_profile, ip);
    if (!resolved.isEmpty())
        return resolved;
    // The host is asked only once its ping shows it is there. An address text the sweep
    // does not take can show no such thing (see plainDottedAddress).
    const std::shared_ptr<AddressSweep> probes = sweep();
    if (!probes->takes(ip))
        return {};
    QString host;
    probes->await(ip, StopToken(), AddressSweep::Names::LanOnly, &host);
    return host;
}

PingOutcome SystemProbes::ping(const QString& ip, const StopToken& stop)
{
    const std::shared_ptr<AddressSweep> probes = sweep();
    if (!probes->takes(ip))
        return subPing(m_profile, ip, stop);
    return probes->await(ip, stop, AddressSweep::Names::None, nullptr);
}

MacOutcome SystemProbes::macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop)
{
    return subMacGet(m_profile, ip, me, stop);
}

std::shared_ptr<AddressSweep> SystemProbes::sweep()
{
    const std::lock_guard hold(m_sweepLock);
    if (!m_sweep)
        m_sweep = std::make_shared<AddressSweep>(m_profile);
    return m_sweep;
}

void SystemProbes::startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                                const Report& report)
{
    const std::shared_ptr<AddressSweep> probes = sweep();
    if (!probes->takes(ip)) {
        startOnThreads(m_threads, ip, me, stop, report);
        return;
    }
    probes->start(ip, stop,
                  [this, ip, me, stop, report](const QString& host, const PingOutcome& ping) {
                      AddressFindings found;
                      if (!stop.stopRequested()) {
                          found.host = host;
                          afterPing(found, ping, ip, me, stop);
                      }
                      report(found);
                  });
}

void SystemProbes::startPing(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                             const PingReport& report)
{
    const std::shared_ptr<AddressSweep> probes = sweep();
    if (!probes->takes(ip)) {
        startPingOnThreads(m_threads, ip, me, stop, report);
        return;
    }
    probes->start(
        ip, stop,
        [this, ip, me, stop, report](const QString&, const PingOutcome& ping) {
            report({ping, macIfPresent(ping, ip, me, stop)});
        },
        AddressSweep::Names::None);
}

QList<AttachedNetwork> SystemProbes::attachedNetworks()
{
    return ::attachedNetworks(localInterfaces());
}

ProbeCost SystemProbes::costPerAddress()
{
    // Where the program sends its echo requests itself, one waiter and shared sockets
    // (the echo, the name questions, the neighbour table) serve every address, and the
    // name lookups run on a bounded pool of threads, each with the resolver's socket and
    // hosts file: an address holds nothing of its own. Otherwise each address runs the
    // console ping too, on a thread of its own: a child process with its pipes and
    // process descriptor, the ARP table and a netlink socket for the neighbour table.
    const int lookups = AddressSweep::kMostNameLookups;
    if (m_profile.lan().canSendEcho())
        return {0, 0, 2 * lookups, lookups};
    return {7, 2, 2 * lookups, lookups};
}
