#include "probes/channels/NeighbourTable.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

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

void keep(NeighbourTable::Entries& entries, quint32 address, const NeighbourState& state)
{
    const auto known = entries.find(address);
    if (known == entries.end())
        entries.emplace(address, state);
    else if (better(state, known->second))
        known->second = state;
}

void parseNeighbour(const char* data, std::size_t length, Clock::time_point readAt,
                    NeighbourTable::Entries& entries)
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
        keep(entries, *address, state);
}

int openRoute()
{
    return ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
}

// One full dump; nullopt when the kernel gave none or broke it off.
std::optional<NeighbourTable::Entries> dumpOnce(int fd)
{
    struct {
        nlmsghdr header;
        ndmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.ndm_family = AF_INET;
    if (::send(fd, &request, sizeof request, 0) != ssize_t(sizeof request))
        return std::nullopt;

    NeighbourTable::Entries found;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    auto end = NeighbourTable::DumpEnd::Pending;
    // A table changes while it is dumped; a dump that never ends is not waited for.
    for (int parts = 0; end == NeighbourTable::DumpEnd::Pending && parts < 4096; ++parts) {
        const ssize_t got = ::recv(fd, buffer.data(), std::size_t(buffer.size()), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        NeighbourTable::Entries part =
            NeighbourTable::parseDump(QByteArrayView(buffer.constData(), got), Clock::now(), &end);
        for (const auto& [address, state] : part)
            keep(found, address, state);
    }
    if (end != NeighbourTable::DumpEnd::Whole)
        return std::nullopt;
    return found;
}

// A table that changes while it is dumped breaks the dump off now and then: a second
// one on a fresh socket usually gets through, and a host missing from a partial table
// would read as gone.
std::optional<NeighbourTable::Entries> dump()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = openRoute();
        if (fd < 0)
            return std::nullopt;
        std::optional<NeighbourTable::Entries> entries = dumpOnce(fd);
        ::close(fd);
        if (entries)
            return entries;
    }
    return std::nullopt;
}

// Sets the state of a known entry; 0, or the kernel's negative error (-1 when it
// gave none).
int setState(int fd, quint32 address, int interfaceIndex, quint16 state)
{
    struct {
        nlmsghdr header;
        ndmsg body;
        rtattr destinationHeader;
        quint32 destination;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_NEWNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_REPLACE | NLM_F_ACK;
    request.body.ndm_family = AF_INET;
    request.body.ndm_ifindex = interfaceIndex;
    request.body.ndm_state = state;
    request.destinationHeader.rta_type = NDA_DST;
    request.destinationHeader.rta_len = RTA_LENGTH(sizeof(quint32));
    request.destination = htonl(address);
    if (::send(fd, &request, sizeof request, 0) != ssize_t(sizeof request))
        return -1;
    struct {
        nlmsghdr header;
        nlmsgerr error;
    } answer{};
    const ssize_t got = ::recv(fd, &answer, sizeof answer, 0);
    if (got < ssize_t(sizeof(nlmsghdr) + sizeof(int)) || answer.header.nlmsg_type != NLMSG_ERROR)
        return -1;
    return answer.error.error;
}

} // namespace

namespace NeighbourTable {

Entries parseDump(QByteArrayView messages, Clock::time_point readAt, DumpEnd* end)
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

NeighbourState entry(quint32 address, Clock::time_point notBefore)
{
    static std::mutex lock;
    static Entries last;
    static Clock::time_point lastRead;
    static bool haveLast = false;
    static bool unread = false;

    const std::lock_guard hold(lock);
    if (!haveLast || lastRead < notBefore) {
        const Clock::time_point started = Clock::now();
        std::optional<Entries> fresh = dump();
        // A failed reading is shared too: the probes that finish with it would only
        // fail again, each costing two dumps.
        unread = !fresh;
        last = fresh ? std::move(*fresh) : Entries();
        // What the dump shows was true at least from its start on.
        lastRead = started;
        haveLast = true;
    }
    if (unread) {
        NeighbourState none;
        none.unread = true;
        return none;
    }
    const auto found = last.find(address);
    return found == last.end() ? NeighbourState{} : found->second;
}

bool reconfirm(quint32 address, int interfaceIndex)
{
    static std::atomic<bool> refused = false;
    if (refused || interfaceIndex <= 0)
        return false;
    const int fd = openRoute();
    if (fd < 0)
        return false;
    // An entry the kernel is probing already keeps its schedule, the next request a
    // second later: stale first, so that the probe state starts afresh with an ARP
    // request now. A request lost on a busy LAN then costs a fraction of the wait.
    bool accepted = false;
    for (const quint16 state : {quint16(NUD_STALE), quint16(NUD_PROBE)}) {
        const int error = setState(fd, address, interfaceIndex, state);
        if (error == -EPERM)
            refused = true;
        accepted = error == 0;
        if (!accepted)
            break;
    }
    ::close(fd);
    return accepted;
}

} // namespace NeighbourTable
