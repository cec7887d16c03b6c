#include "probes/packets/NeighbourDump.h"

#include <algorithm>
#include <cstring>

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

// The kernel's cache times are in clock ticks of USER_HZ, which is 100 on every
// Linux architecture.
constexpr std::chrono::milliseconds kTick{10};
// Both ends of such a time are counted in whole ticks (and the kernel's own jiffies
// below them), so a confirmation may lie this much later than the count says. A host
// on the LAN answers ARP within a millisecond of the probe's start: without the slack
// its answer would read as given before it.
constexpr std::chrono::milliseconds kCountedSlack{20};

NeighbourState::Kind kindOf(quint16 state)
{
    using Kind = NeighbourState::Kind;
    if (state & (NUD_PERMANENT | NUD_NOARP))
        return Kind::Permanent;
    if (state & NUD_REACHABLE)
        return Kind::Reachable;
    if (state & NUD_STALE)
        return Kind::Stale;
    if (state & NUD_DELAY)
        return Kind::Delay;
    if (state & NUD_PROBE)
        return Kind::Probe;
    if (state & NUD_INCOMPLETE)
        return Kind::Incomplete;
    if (state & NUD_FAILED)
        return Kind::Failed;
    return Kind::None;
}

// A reachable entry, and of two the one confirmed last, says most of the address.
bool better(const NeighbourState& a, const NeighbourState& b)
{
    const bool aReachable = a.kind == NeighbourState::Kind::Reachable;
    const bool bReachable = b.kind == NeighbourState::Kind::Reachable;
    if (aReachable != bReachable)
        return aReachable;
    return a.confirmedAt.value_or(Clock::time_point::min()) >
           b.confirmedAt.value_or(Clock::time_point::min());
}

} // namespace

void NeighbourDump::keep(Entries& entries, quint32 address, const NeighbourState& state)
{
    const auto known = entries.find(address);
    if (known == entries.end())
        entries.emplace(address, state);
    else if (better(state, known->second))
        known->second = state;
}

namespace {

void parseNeighbour(const char* data, std::size_t length, Clock::time_point readAt,
                    NeighbourDump::Entries& entries)
{
    if (length < sizeof(ndmsg))
        return;
    ndmsg header;
    std::memcpy(&header, data, sizeof header);
    if (header.ndm_family != AF_INET || (header.ndm_flags & NTF_PROXY))
        return;
    NeighbourState state;
    state.kind = kindOf(header.ndm_state);
    state.interfaceIndex = header.ndm_ifindex;
    state.keptByOthers = (header.ndm_flags & NTF_EXT_LEARNED) != 0;
    std::optional<quint32> address;

    std::size_t at = NLMSG_ALIGN(sizeof(ndmsg));
    while (at + sizeof(rtattr) <= length) {
        rtattr attribute;
        std::memcpy(&attribute, data + at, sizeof attribute);
        if (attribute.rta_len < sizeof(rtattr) || at + attribute.rta_len > length)
            break;
        const char* payload = data + at + RTA_LENGTH(0);
        const std::size_t size = attribute.rta_len - RTA_LENGTH(0);
        if (attribute.rta_type == NDA_DST && size == 4) {
            quint32 network;
            std::memcpy(&network, payload, 4);
            address = ntohl(network);
        } else if (attribute.rta_type == NDA_LLADDR) {
            // Bounded: no link layer's address is longer than this (InfiniBand's is 20).
            state.linkAddress = QByteArray(payload, qsizetype(std::min<std::size_t>(size, 32)));
        } else if (attribute.rta_type == NDA_CACHEINFO && size >= sizeof(nda_cacheinfo)) {
            nda_cacheinfo times;
            std::memcpy(&times, payload, sizeof times);
            state.confirmedAt = readAt - kTick * times.ndm_confirmed + kCountedSlack;
        } else if (attribute.rta_type == NDA_FLAGS_EXT && size >= sizeof(quint32)) {
            quint32 flags;
            std::memcpy(&flags, payload, sizeof flags);
            if (flags & NTF_EXT_MANAGED)
                state.keptByOthers = true;
        }
        at += RTA_ALIGN(attribute.rta_len);
    }
    if (address)
        NeighbourDump::keep(entries, *address, state);
}

} // namespace

namespace NeighbourDump {

Entries parse(QByteArrayView messages, Clock::time_point readAt, DumpEnd* end)
{
    Entries entries;
    std::size_t at = 0;
    const auto length = std::size_t(messages.size());
    while (at + sizeof(nlmsghdr) <= length) {
        nlmsghdr header;
        std::memcpy(&header, messages.data() + at, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || at + header.nlmsg_len > length)
            break;
        // The kernel marks every message after the table changed under the dump.
        if (header.nlmsg_type == NLMSG_ERROR || (header.nlmsg_flags & NLM_F_DUMP_INTR)) {
            if (end)
                *end = DumpEnd::Broken;
            break;
        }
        if (header.nlmsg_type == NLMSG_DONE) {
            // Its payload, where there is one, is the dump's own error.
            int error = 0;
            if (header.nlmsg_len >= NLMSG_HDRLEN + sizeof error)
                std::memcpy(&error, messages.data() + at + NLMSG_HDRLEN, sizeof error);
            if (end)
                *end = error < 0 ? DumpEnd::Broken : DumpEnd::Whole;
            break;
        }
        if (header.nlmsg_type == RTM_NEWNEIGH)
            parseNeighbour(messages.data() + at + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN,
                           readAt, entries);
        at += NLMSG_ALIGN(header.nlmsg_len);
    }
    return entries;
}

} // namespace NeighbourDump
