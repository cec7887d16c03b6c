#include "probes/channels/NeighbourTable.h"

#include "probes/packets/NeighbourDump.h"

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

int openRoute()
{
    return ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
}

// One full dump; nullopt when the kernel gave none or broke it off.
std::optional<NeighbourDump::Entries> dumpOnce(int fd)
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

    NeighbourDump::Entries found;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    auto end = NeighbourDump::DumpEnd::Pending;
    // A table changes while it is dumped; a dump that never ends is not waited for.
    for (int parts = 0; end == NeighbourDump::DumpEnd::Pending && parts < 4096; ++parts) {
        const ssize_t got = ::recv(fd, buffer.data(), std::size_t(buffer.size()), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        NeighbourDump::Entries part =
            NeighbourDump::parse(QByteArrayView(buffer.constData(), got), Clock::now(), &end);
        for (const auto& [address, state] : part)
            NeighbourDump::keep(found, address, state);
    }
    if (end != NeighbourDump::DumpEnd::Whole)
        return std::nullopt;
    return found;
}

// A table that changes while it is dumped breaks the dump off now and then: a second
// one on a fresh socket usually gets through, and a host missing from a partial table
// would read as gone.
std::optional<NeighbourDump::Entries> dump()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = openRoute();
        if (fd < 0)
            return std::nullopt;
        std::optional<NeighbourDump::Entries> entries = dumpOnce(fd);
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

NeighbourState entry(quint32 address, Clock::time_point notBefore)
{
    static std::mutex lock;
    static NeighbourDump::Entries last;
    static Clock::time_point lastRead;
    static bool haveLast = false;
    static bool unread = false;

    const std::lock_guard hold(lock);
    if (!haveLast || lastRead < notBefore) {
        const Clock::time_point started = Clock::now();
        std::optional<NeighbourDump::Entries> fresh = dump();
        // A failed reading is shared too: the probes that finish with it would only
        // fail again, each costing two dumps.
        unread = !fresh;
        last = fresh ? std::move(*fresh) : NeighbourDump::Entries();
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
