#include "probes/SystemProbes.h"

#include "probes/ArpTable.h"
#include "probes/ComputerName.h"
#include "probes/LocalIdentity.h"
#include "probes/PingProbe.h"
#include "probes/PlatformProfile.h"
#include "probes/Resolver.h"

SystemProbes::SystemProbes()
    : SystemProbes(PlatformProfile::system())
{}

SystemProbes::SystemProbes(const PlatformProfile& profile)
    : m_profile(profile)
{}

bool SystemProbes::toolsPresent()
{
    return PingDllChk(m_profile);
}

OwnIdentity SystemProbes::ownIdentity()
{
    OwnIdentity me;
    me.pcName = GetPcName(m_profile);
    me.myIp = preferredOwnAddress(HostToIp(m_profile, me.pcName), localInterfaces(),
                                  m_profile.defaultRouteInterface());
    me.myMac = MacGet(m_profile, me.myIp);
    return me;
}

QString SystemProbes::hostToIp(const QString& name)
{
    return HostToIp(m_profile, name);
}

QString SystemProbes::ipToHost(const QString& ip)
{
    return IpToHost(m_profile, ip);
}

PingOutcome SystemProbes::ping(const QString& ip, const StopToken& stop)
{
    return subPing(m_profile, ip, stop);
}

MacOutcome SystemProbes::macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop)
{
    return subMacGet(m_profile, ip, me, stop);
}

AddressFindings SystemProbes::probeAddress(const QString& ip, const OwnIdentity& me,
                                           const StopToken& stop)
{
    AddressFindings found;
    if (stop.stopRequested())
        return found;
    // The reply needs no name and the name no reply: the lookup runs during the wait.
    StartedPing ping(m_profile, ip, stop);
    found.host = IpToHost(m_profile, ip);
    afterPing(found, ping.finish(stop), ip, me, stop);
    return found;
}

ProbeCost SystemProbes::costPerAddress()
{
    // A pool thread with its event descriptor, the resolver's socket and hosts file,
    // the ARP table, and the ping: its socket, or a child process with its pipes and
    // process descriptor, or nothing of its own where one socket serves all addresses
    // (it and its wake-up descriptor come out of the reserve).
    switch (m_profile.echoWay()) {
    case PlatformProfile::EchoWay::OwnSocket:
        return {5, 1};
    case PlatformProfile::EchoWay::SharedSocket:
        return {4, 1};
    case PlatformProfile::EchoWay::ConsolePing:
        break;
    }
    return {8, 2};
}
