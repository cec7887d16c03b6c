#include "probes/platform/LinuxProfile.h"

#include "probes/channels/EchoChannel.h"
#include "probes/channels/LanNames.h"
#include "probes/channels/NeighbourTable.h"

#include <QFile>

#include <algorithm>

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

LanAccess::NeighbourRoom LinuxLan::neighbourRoom() const
{
    using std::chrono::milliseconds;
    // A setting that cannot be read is taken at the kernel's default.
    const auto setting = [](const char* name, qint64 otherwise) {
        QFile file(QLatin1StringView("/proc/sys/net/ipv4/neigh/default/") +
                   QLatin1StringView(name));
        bool ok = false;
        const qint64 value =
            file.open(QIODevice::ReadOnly) ? file.read(32).trimmed().toLongLong(&ok) : -1;
        return ok && value >= 0 ? value : otherwise;
    };
    NeighbourRoom room;
    // The table is one for the whole machine, every network namespace and container
    // included, and the PC's own traffic needs its entries while a survey runs: half of
    // the hard limit is the survey's. Entries that are neither resolving nor fresh are
    // collected when the table is full, so only those two kinds count.
    room.entries = int(std::clamp<qint64>(setting("gc_thresh3", 1024) / 2, 16, 1 << 20));
    // An entry for a silent address resolves for the kernel's multicast probes, one per
    // retransmission time, and only then may be collected.
    const qint64 retrans = std::max<qint64>(setting("retrans_time_ms", 1000), 1);
    room.resolving =
        milliseconds(std::max<qint64>(setting("mcast_solicit", 3), 1) * retrans + retrans / 2);
    // A live host's stays reachable for up to one and a half base reachable times, then
    // waits the first probe's delay before it may be collected.
    room.reachable = milliseconds(setting("base_reachable_time_ms", 30000) * 3 / 2 +
                                  setting("delay_first_probe_time", 5) * 1000);
    return room;
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
