#include "probes/channels/EchoChannel.h"

#include "probes/channels/StopToken.h"
#include "probes/packets/EchoPackets.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace {

// From <linux/icmp.h>, which clashes with the C library's <netinet/ip_icmp.h>: a
// bit mask of the ICMP types a raw socket drops.
constexpr int kIcmpFilter = 1;
// Room for a whole range of requests and their replies: a request to a dead address
// stays charged to the socket while the neighbour is resolved, about three seconds.
constexpr int kBufferBytes = 1 << 20;

int openSocket(EchoChannel::Kind kind)
{
    const bool raw = kind == EchoChannel::Kind::Raw;
    const int fd = ::socket(AF_INET, (raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Every other ICMP packet the host receives would wake a raw socket's reader for
    // nothing.
    const quint32 dropped = ~(quint32(1) << ICMP_ECHOREPLY);
    if (raw && ::setsockopt(fd, SOL_RAW, kIcmpFilter, &dropped, sizeof dropped) != 0) {
        ::close(fd);
        return -1;
    }
    // Best effort: the system's maximum may be lower.
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kBufferBytes, sizeof kBufferBytes);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    return fd;
}

// The milliseconds poll() may sleep until `deadline`, rounded up so that a wait
// just short of it does not spin.
int pollTimeout(std::chrono::steady_clock::time_point deadline)
{
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= left.zero())
        return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

std::mutex channelMutex;
std::weak_ptr<EchoChannel> channelsNow[2];

} // namespace

std::shared_ptr<EchoChannel> EchoChannel::shared(Kind kind)
{
    const std::lock_guard lock(channelMutex);
    std::weak_ptr<EchoChannel>& now = channelsNow[kind == Kind::Raw ? 1 : 0];
    if (std::shared_ptr<EchoChannel> channel = now.lock())
        return channel;
    const int fd = openSocket(kind);
    if (fd < 0)
        return nullptr;
    // The process id keeps two programs apart, the random part two channels of one
    // process, one after the other (a late reply to the first is no answer to the second).
    const auto identifier =
        quint16(::getpid() ^ QRandomGenerator::global()->bounded(quint32(0x10000)));
    std::shared_ptr<EchoChannel> channel(new EchoChannel(kind, fd, identifier));
    now = channel;
    return channel;
}

bool EchoChannel::allowed(Kind kind)
{
    return shared(kind) != nullptr;
}

EchoChannel::EchoChannel(Kind kind, int socket, quint16 identifier)
    : m_kind(kind)
    , m_socket(socket)
    , m_identifier(identifier)
{}

EchoChannel::~EchoChannel()
{
    ::close(m_socket);
}

std::unique_ptr<SharedEchoRequest> EchoChannel::send(quint32 address,
                                                     std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    quint16 sequence = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (m_waiting.size() >= 0xffff)
            return nullptr;
        // Drawn at random: the identifier is the socket's, and any host asked sees it, so
        // sequences counted up would tell it what the other addresses' replies carry. A
        // sequence still in flight would let one reply answer two requests; none is 0,
        // which collect() uses for no request in particular.
        do
            sequence = quint16(QRandomGenerator::system()->generate());
        while (sequence == 0 || m_waiting.contains(sequence));
        m_waiting[sequence].address = address;
    }

    const QByteArray packet = EchoPackets::request(m_identifier, sequence);

    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    bool sent = false;
    for (;;) {
        if (::sendto(m_socket, packet.constData(), std::size_t(packet.size()), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to) == packet.size()) {
            sent = true;
            break;
        }
        // A full send buffer empties as the requests before leave; any other failure
        // (no route, a broadcast address) is an unanswered ping, as the console
        // ping's error exit is.
        if (errno != EAGAIN && errno != ENOBUFS && errno != EINTR)
            break;
        pollfd writable{m_socket, POLLOUT, 0};
        const int timeout = pollTimeout(deadline);
        if (timeout == 0 || ::poll(&writable, 1, std::min(timeout, 10)) < 0)
            break;
    }
    return std::unique_ptr<SharedEchoRequest>(
        new SharedEchoRequest(shared_from_this(), sequence, sent));
}

void EchoChannel::collect()
{
    // Bounded, so that a flood of replies cannot keep the reader from its own deadline.
    for (int k = 0; k < 4096; ++k) {
        char packet[EchoPackets::kReadLength];
        sockaddr_in from;
        socklen_t fromLength = sizeof from;
        // MSG_TRUNC: the length of the whole packet, so a longer one is seen as such.
        const ssize_t got = ::recvfrom(m_socket, packet, sizeof packet, MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            // An ICMP error for some request (a dead address's host unreachable) is
            // reported once on the shared socket, and reading it clears it.
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            continue;
        }
        if (std::size_t(got) > sizeof packet)
            continue;
        const std::optional<EchoPackets::Reply> reply = EchoPackets::readReply(
            QByteArrayView(packet, got), m_kind == Kind::Raw, ntohl(from.sin_addr.s_addr));
        // A datagram socket gets only the replies to its own identifier, which the
        // kernel chose.
        if (!reply || (m_kind == Kind::Raw && reply->identifier != m_identifier))
            continue;
        const std::lock_guard lock(m_mutex);
        const auto found = m_waiting.find(reply->sequence);
        if (found == m_waiting.end() || found->second.address != reply->source)
            continue;
        found->second.answered = true;
    }
}

bool EchoChannel::answered(quint16 sequence)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_waiting.find(sequence);
    return found != m_waiting.end() && found->second.answered;
}

void EchoChannel::forget(quint16 sequence)
{
    const std::lock_guard lock(m_mutex);
    m_waiting.erase(sequence);
}

SharedEchoRequest::SharedEchoRequest(std::shared_ptr<EchoChannel> channel, quint16 sequence,
                                     bool sent)
    : m_channel(std::move(channel))
    , m_sequence(sequence)
    , m_sent(sent)
{}

SharedEchoRequest::~SharedEchoRequest()
{
    m_channel->forget(m_sequence);
}

bool SharedEchoRequest::answered()
{
    return m_sent && m_channel->answered(m_sequence);
}
