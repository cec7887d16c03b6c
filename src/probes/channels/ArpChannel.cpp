#include "probes/channels/ArpChannel.h"

#include "probes/packets/ArpPackets.h"

#include <arpa/inet.h>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ifaddrs.h>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Replies read per collect(), so that a LAN flooding the socket cannot keep the waiter
// from its deadlines; the rest wait for the next call.
constexpr int kMostPerCollect = 256;
// Room for the replies to a range's burst of requests.
constexpr int kBufferBytes = 1 << 20;
// A range asks for every address, and the PC's interfaces seldom change: one reading
// of them serves this long.
constexpr auto kInterfacesServe = std::chrono::seconds(1);
// Longer than any ARP payload read; the padding of a short frame fits.
constexpr std::size_t kReadBytes = 64;

quint32 mask(int prefixLength)
{
    return prefixLength <= 0 ? 0 : ~quint32(0) << (32 - prefixLength);
}

bool holds(const ArpChannel::Own& own, quint32 address)
{
    return ((own.address ^ address) & mask(own.prefixLength)) == 0;
}

// The PC's interface for `address`, and its address in the most specific network that
// holds it; nullptr where none does.
const ArpChannel::Own* bestOwn(const QList<ArpChannel::Own>& own, quint32 address)
{
    const ArpChannel::Own* best = nullptr;
    for (const ArpChannel::Own& mine : own) {
        if (holds(mine, address) && (!best || mine.prefixLength > best->prefixLength))
            best = &mine;
    }
    return best;
}

struct Link {
    int index = 0;
    QByteArray mac;
    QList<ArpChannel::Own> own;
};

struct Links {
    QList<Link> ethernet; // up, speaking ARP, with IPv4 addresses
    QList<quint32> local; // every IPv4 address of the PC
};

Links readLinks()
{
    Links links;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0)
        return links;
    std::map<QByteArray, Link> byName;
    for (const ifaddrs* entry = all; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        sockaddr_ll link;
        std::memcpy(&link, entry->ifa_addr, sizeof link);
        const QByteArray mac(reinterpret_cast<const char*>(link.sll_addr), ArpPackets::kMacLength);
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & (IFF_LOOPBACK | IFF_NOARP)) ||
            link.sll_hatype != ARPHRD_ETHER || link.sll_halen != ArpPackets::kMacLength ||
            mac == QByteArray(ArpPackets::kMacLength, '\0'))
            continue;
        byName[QByteArray(entry->ifa_name)] = {link.sll_ifindex, mac, {}};
    }
    for (const ifaddrs* entry = all; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        sockaddr_in address;
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        const quint32 own = ntohl(address.sin_addr.s_addr);
        links.local.append(own);
        // An address's label may name it apart ("eth0:1"); its interface is before the colon.
        QByteArray name(entry->ifa_name);
        if (const qsizetype colon = name.indexOf(':'); colon >= 0)
            name.truncate(colon);
        const auto found = byName.find(name);
        if (found == byName.end() || !entry->ifa_netmask)
            continue;
        sockaddr_in netmask;
        std::memcpy(&netmask, entry->ifa_netmask, sizeof netmask);
        found->second.own.append({own, std::popcount(netmask.sin_addr.s_addr)});
    }
    ::freeifaddrs(all);
    for (auto& [name, link] : byName) {
        if (link.index > 0 && !link.own.isEmpty())
            links.ethernet.append(std::move(link));
    }
    return links;
}

int openSocket(int interfaceIndex)
{
    const int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd < 0)
        return -1;
    // Replies only (operation 2, at offset 6 of the payload): every host's requests are
    // broadcast, and a busy LAN's would wake the reader for nothing. Best effort: the
    // reader checks every reply itself.
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffff),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    const sock_fprog program{std::size(code), code};
    ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
    sockaddr_ll at;
    std::memset(&at, 0, sizeof at);
    at.sll_family = AF_PACKET;
    at.sll_protocol = htons(ETH_P_ARP);
    at.sll_ifindex = interfaceIndex;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        ::close(fd);
        return -1;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    return fd;
}

std::mutex channelMutex;
std::map<int, std::weak_ptr<ArpChannel>> channelsNow; // by interface index
Links linksNow;
std::optional<Clock::time_point> linksReadAt;

} // namespace

std::shared_ptr<ArpChannel> ArpChannel::forAddress(quint32 address)
{
    const std::lock_guard lock(channelMutex);
    const Clock::time_point now = Clock::now();
    if (!linksReadAt || now - *linksReadAt >= kInterfacesServe) {
        linksNow = readLinks();
        linksReadAt = now;
    }
    // The PC's own addresses answer the kernel's echo over loopback, and no ARP at all.
    if (linksNow.local.contains(address))
        return nullptr;
    const Link* link = nullptr;
    const Own* own = nullptr;
    for (const Link& candidate : std::as_const(linksNow.ethernet)) {
        const Own* mine = bestOwn(candidate.own, address);
        if (mine && (!own || mine->prefixLength > own->prefixLength)) {
            link = &candidate;
            own = mine;
        }
    }
    if (!link)
        return nullptr;
    std::weak_ptr<ArpChannel>& open = channelsNow[link->index];
    if (std::shared_ptr<ArpChannel> channel = open.lock())
        return channel;
    const int fd = openSocket(link->index);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<ArpChannel> channel(new ArpChannel(fd, link->index, link->mac, link->own));
    open = channel;
    return channel;
}

ArpChannel::ArpChannel(int socket, int interfaceIndex, QByteArray mac, QList<Own> own)
    : m_socket(socket)
    , m_interfaceIndex(interfaceIndex)
    , m_mac(std::move(mac))
    , m_own(std::move(own))
{}

ArpChannel::~ArpChannel()
{
    ::close(m_socket);
}

quint32 ArpChannel::asker(quint32 address) const
{
    const Own* own = bestOwn(m_own, address);
    return own ? own->address : 0;
}

std::unique_ptr<SharedArpRequest> ArpChannel::ask(quint32 address)
{
    std::unique_ptr<SharedArpRequest> request(new SharedArpRequest(shared_from_this(), address));
    {
        const std::lock_guard lock(m_mutex);
        request->m_entry = m_waiting.emplace(address, request.get());
    }
    send(address);
    return request;
}

bool ArpChannel::send(quint32 address)
{
    const QByteArray packet = ArpPackets::request(m_mac, asker(address), address);
    sockaddr_ll to;
    std::memset(&to, 0, sizeof to);
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = m_interfaceIndex;
    to.sll_halen = ArpPackets::kMacLength;
    std::memset(to.sll_addr, 0xff, ArpPackets::kMacLength);
    return ::sendto(m_socket, packet.constData(), std::size_t(packet.size()), 0,
                    reinterpret_cast<const sockaddr*>(&to), sizeof to) == packet.size();
}

void ArpChannel::collect()
{
    for (int k = 0; k < kMostPerCollect; ++k) {
        char packet[kReadBytes];
        sockaddr_ll from;
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(m_socket, packet, sizeof packet, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            continue;
        }
        // Before the socket was bound it heard every interface; a reply unicast to
        // another host's MAC (an interface in promiscuous mode hears those) is no
        // answer to us.
        if (fromLength < sizeof from || from.sll_ifindex != m_interfaceIndex ||
            from.sll_pkttype == PACKET_OTHERHOST)
            continue;
        const std::optional<ArpPackets::Reply> reply =
            ArpPackets::readReply(QByteArrayView(packet, got));
        if (!reply || reply->target == 0 || reply->target != asker(reply->sender))
            continue;
        const std::lock_guard lock(m_mutex);
        const auto [first, last] = m_waiting.equal_range(reply->sender);
        for (auto waiting = first; waiting != last; ++waiting)
            waiting->second->m_answered = true;
    }
}

SharedArpRequest::SharedArpRequest(std::shared_ptr<ArpChannel> channel, quint32 address)
    : m_channel(std::move(channel))
    , m_address(address)
{}

SharedArpRequest::~SharedArpRequest()
{
    const std::lock_guard lock(m_channel->m_mutex);
    m_channel->m_waiting.erase(m_entry);
}

bool SharedArpRequest::answered()
{
    const std::lock_guard lock(m_channel->m_mutex);
    return m_answered;
}

void SharedArpRequest::askAgain()
{
    if (!answered())
        m_channel->send(m_address);
}
