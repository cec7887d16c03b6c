#include "probes/EchoSocket.h"

#include "probes/StopToken.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr quint16 kSequence = 1;
// As long as the console ping's default payload: the same packet on the wire.
constexpr std::size_t kPayload = 56;

int openSocket()
{
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
}

} // namespace

bool EchoSocket::allowed()
{
    const int fd = openSocket();
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::unique_ptr<EchoSocket> EchoSocket::send(quint32 address, std::chrono::milliseconds wait)
{
    const int fd = openSocket();
    if (fd < 0)
        return nullptr;
    std::unique_ptr<EchoSocket> echo(new EchoSocket(fd, address, wait));

    unsigned char packet[sizeof(icmphdr) + kPayload] = {};
    icmphdr header;
    std::memset(&header, 0, sizeof header);
    header.type = ICMP_ECHO;
    // The kernel fills in the identifier and the checksum.
    header.un.echo.sequence = htons(kSequence);
    std::memcpy(packet, &header, sizeof header);

    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    // A failed send (no route, a broadcast address) is an unanswered ping, as the
    // console ping's error exit is.
    echo->m_sent = ::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&to),
                            sizeof to) == ssize_t(sizeof packet);
    return echo;
}

EchoSocket::EchoSocket(int fd, quint32 address, std::chrono::milliseconds wait)
    : m_fd(fd)
    , m_address(address)
    , m_deadline(std::chrono::steady_clock::now() + wait)
{}

EchoSocket::~EchoSocket()
{
    ::close(m_fd);
}

bool EchoSocket::waitForReply(const StopToken& stop)
{
    if (!m_sent)
        return false;
    // Shutting the socket down wakes the poll below at once, without any descriptor
    // of its own: the kernel wakes every waiter even of an unconnected socket. No
    // slices: a whole range of waiting probes would otherwise wake thousands of
    // times a second between them.
    const std::stop_callback wake(stop.token(), [fd = m_fd] { ::shutdown(fd, SHUT_RDWR); });
    for (;;) {
        if (stop.stopRequested())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wanted{m_fd, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, int(left.count()));
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue;

        unsigned char reply[sizeof(icmphdr) + kPayload + 64];
        sockaddr_in from;
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(m_fd, reply, sizeof reply, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return false;
        }
        if (got < ssize_t(sizeof(icmphdr)))
            continue;
        icmphdr header;
        std::memcpy(&header, reply, sizeof header);
        // Only a reply from that very address counts, as in the console ping's output.
        if (header.type == ICMP_ECHOREPLY && ntohs(header.un.echo.sequence) == kSequence &&
            ntohl(from.sin_addr.s_addr) == m_address)
            return true;
    }
}
