#include "probes/platform/LinuxProfile.h"

#include "probes/channels/EchoChannel.h"
#include "probes/channels/LanNames.h"
#include "probes/channels/NeighbourTable.h"

LinuxLan::LinuxLan(const LinuxTools& tools)
    : m_echoSockets(tools.echoSockets)
    , m_rawEcho(tools.rawEcho)
    , m_lanQueries(tools.lanQueries)
{}

std::unique_ptr<EchoRequest> LinuxLan::sendEcho(quint32 address) const
{
    const auto wait = std::chrono::seconds(kPingWaitSeconds);
    if (m_echoSockets) {
        if (const auto channel = EchoChannel::shared(EchoChannel::Kind::Datagram))
            return channel->send(address, wait);
    }
    if (m_rawEcho) {
        if (const auto channel = EchoChannel::shared(EchoChannel::Kind::Raw))
            return channel->send(address, wait);
    }
    return nullptr;
}

LanAccess::EchoWay LinuxLan::echoWay() const
{
    if (m_echoSockets && EchoChannel::allowed(EchoChannel::Kind::Datagram))
        return EchoWay::EchoSocket;
    if (m_rawEcho && EchoChannel::allowed(EchoChannel::Kind::Raw))
        return EchoWay::RawSocket;
    return EchoWay::ConsolePing;
}

NeighbourState LinuxLan::neighbour(quint32 address,
                                   std::chrono::steady_clock::time_point notBefore) const
{
    if (!m_lanQueries)
        return {};
    return NeighbourTable::entry(address, notBefore);
}

bool LinuxLan::reconfirmNeighbour(quint32 address, const NeighbourState& entry) const
{
    using Kind = NeighbourState::Kind;
    // Only an entry the kernel learnt by itself. One set by hand stays as it is, and so
    // does one another party keeps: the replace that restarts the confirmation would
    // clear that party's flag, and a probe that failed would lose the MAC it gave.
    const bool learnt = entry.kind == Kind::Reachable || entry.kind == Kind::Stale ||
                        entry.kind == Kind::Delay || entry.kind == Kind::Probe;
    if (!m_lanQueries || !learnt || entry.keptByOthers)
        return false;
    return NeighbourTable::reconfirm(address, entry.interfaceIndex);
}

std::unique_ptr<LanNameRequest> LinuxLan::askLanName(quint32 address) const
{
    if (!m_lanQueries)
        return nullptr;
    return LanNames::ask(address);
}

std::optional<quint32> LinuxLan::lanAddress(const QString& name, quint32 ownAddress,
                                            std::chrono::steady_clock::time_point deadline,
                                            const StopToken& stop) const
{
    if (!m_lanQueries)
        return std::nullopt;
    return LanNames::addressOf(name, ownAddress, deadline, stop);
}
