// A hostile host of the lab: it answers every NetBIOS name service query (UDP 137) and
// multicast DNS query (UDP 5353) with a burst of forged and broken answers, so that a
// lab test can check that the survey neither crashes nor hangs nor lists what they say.
//
// Usage: hostile_responder <count>
//   Listens on 0.0.0.0 ports 137 and 5353 (it also joins 224.0.0.251 so that multicast
//   queries reach it) and sends each burst to the address and port the query came
//   from, repeated as a flood of half the packets it has left. It prints "listening"
//   once its sockets are bound, sends at most <count> packets in all, prints the
//   running total after each flood, and then exits with 0;
//   it also exits
//   with 0 after 20 seconds without a query, and with 1 when it cannot open its sockets.
//   Run it inside a lab host's namespace only: it answers anyone who asks.
//
// Each burst answers the query's own id and, when it is a reverse mDNS query, its own
// in-addr.arpa name, so that what is hostile is the content, not the addressing:
//   NetBIOS: node status names with a comma, CR LF, NUL and control characters, bytes
//   that are no cp932, 300 bytes of name data, NUM_NAMES 255 running past the end, a
//   cut packet, a wrong id, a negative name query response.
//   mDNS: a PTR name of 300 bytes, one holding ",\r\n\0", a compression pointer loop, a
//   forward pointer, cut packets, a PTR for a different in-addr.arpa name, a wrong id.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

constexpr int kQuietSeconds = 20;

Bytes u16(unsigned value)
{
    return Bytes{char((value >> 8) & 0xFF), char(value & 0xFF)};
}

Bytes header(unsigned id, unsigned flags, unsigned questions, unsigned answers)
{
    return u16(id) + u16(flags) + u16(questions) + u16(answers) + u16(0) + u16(0);
}

Bytes label(const Bytes& text)
{
    return char(text.size()) + text;
}

Bytes record(const Bytes& owner, unsigned type, unsigned klass, const Bytes& data)
{
    return owner + u16(type) + u16(klass) + Bytes("\0\0\0\x78", 4) + u16(unsigned(data.size())) +
           data;
}

// --- NetBIOS -----------------------------------------------------------------------

Bytes encodedName(const Bytes& sixteen)
{
    Bytes out(1, char(32));
    for (unsigned char c : sixteen) {
        out += char('A' + (c >> 4));
        out += char('A' + (c & 0x0F));
    }
    return out + '\0';
}

const Bytes kStar = encodedName(Bytes("*") + Bytes(15, '\0'));

Bytes entry(Bytes name)
{
    name.resize(15, ' ');
    return name + '\0' + u16(0x0400);
}

Bytes nodeStatus(unsigned id, int count, const Bytes& entries)
{
    const Bytes data = char(count) + entries + Bytes(46, '\0');
    return header(id, 0x8400, 0, 1) + record(kStar, 0x21, 1, data);
}

std::vector<Bytes> netbiosBurst(unsigned id, const Bytes& query)
{
    std::vector<Bytes> out;
    out.push_back(nodeStatus(id, 1, entry("EVIL,HOST")));
    out.push_back(nodeStatus(id, 1, entry("EVIL\r\nHOST")));
    out.push_back(nodeStatus(id, 1, entry(Bytes("EV\0IL", 5))));
    out.push_back(nodeStatus(id, 1, entry("\x01\x07\x1B[2J\x7F")));
    out.push_back(nodeStatus(id, 1, entry("\x82\x41\xFF\xFD\x81")));
    // One name, then 282 more bytes of name data where the statistics belong.
    out.push_back(nodeStatus(id, 1, entry(Bytes(15, 'N')) + Bytes(282, 'N')));
    out.push_back(nodeStatus(id, 255, entry("FEW"))); // 255 names, one present
    Bytes cut = nodeStatus(id, 1, entry("CUT"));
    out.push_back(cut.substr(0, cut.size() / 2));
    out.push_back(nodeStatus(id ^ 0xFFFF, 1, entry("WRONGID")));
    // A name query is answered negatively and, for its own name, with a forged address.
    if (query.size() >= 12 + 34) {
        const Bytes asked = query.substr(12, 34);
        out.push_back(header(id, 0x8503, 0, 1) + record(asked, 0x20, 1, ""));
        out.push_back(header(id, 0x8500, 0, 1) +
                      record(asked, 0x20, 1, u16(0) + Bytes("\xC6\x12\x00", 3) + Bytes(300, 'x')));
    }
    return out;
}

// --- mDNS --------------------------------------------------------------------------

// The question's name as it stands, or a fixed reverse name when it cannot be read.
Bytes questionName(const Bytes& query)
{
    size_t at = 12;
    while (at < query.size() && query[at] != 0 && (query[at] & 0xC0) == 0)
        at += 1 + (unsigned char)query[at];
    if (at >= query.size() || query[at] != 0)
        return label("7") + label("0") + label("18") + label("198") + label("in-addr") +
               label("arpa") + '\0';
    return query.substr(12, at + 1 - 12);
}

Bytes ptr(unsigned id, const Bytes& owner, const Bytes& target)
{
    return header(id, 0x8400, 0, 1) + record(owner, 12, 0x8001, target);
}

std::vector<Bytes> mdnsBurst(unsigned id, const Bytes& query)
{
    const Bytes owner = questionName(query);
    const Bytes local = label("local") + '\0';
    std::vector<Bytes> out;
    Bytes longName;
    for (int i = 0; i < 5; ++i)
        longName += label(Bytes(59, char('a' + i)));
    out.push_back(ptr(id, owner, longName + local)); // 300 bytes on the wire
    out.push_back(ptr(id, owner, label(Bytes("ev,il\r\n\0x", 9)) + local));
    out.push_back(ptr(id, owner, label("\xC3\x28\xFF") + local)); // not UTF-8
    // The name's data is a pointer to itself, then one into its own labels.
    const size_t data = 12 + owner.size() + 10;
    out.push_back(ptr(id, owner, u16(0xC000 | unsigned(data))));
    out.push_back(ptr(id, owner, label("loop") + u16(0xC000 | unsigned(data))));
    out.push_back(ptr(id, owner, u16(0xC000 | unsigned(data + 2)) + local)); // forward
    out.push_back(ptr(id, owner, u16(0xFFFF)));                              // past the end
    Bytes cut = ptr(id, owner, label("cut") + local);
    out.push_back(cut.substr(0, cut.size() - 3));
    out.push_back(cut.substr(0, 12));
    out.push_back(header(id, 0x8400, 0, 40) + cut.substr(12)); // counts past the end
    // Another address's PTR record, as if answering a different question.
    Bytes other = owner;
    if (other.size() > 2)
        other[1] = other[1] == '9' ? '8' : '9';
    out.push_back(ptr(id, other, label("notyou") + local));
    out.push_back(ptr(id ^ 0xFFFF, owner, label("wrongid") + local));
    return out;
}

int openSocket(unsigned short port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::atol(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: hostile_responder <count>\n");
        return 2;
    }
    const long total = std::atol(argv[1]);
    long left = total;
    const int netbios = openSocket(137);
    const int mdns = openSocket(5353);
    if (netbios < 0 || mdns < 0) {
        std::perror("hostile_responder: socket");
        return 1;
    }
    // Multicast queries to 224.0.0.251 reach the socket only as a member of the group;
    // without a multicast route the unicast ones still do.
    ip_mreq group{};
    group.imr_multiaddr.s_addr = inet_addr("224.0.0.251");
    group.imr_interface.s_addr = htonl(INADDR_ANY);
    setsockopt(mdns, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
    std::printf("listening\n");
    std::fflush(stdout);

    pollfd fds[2] = {{netbios, POLLIN, 0}, {mdns, POLLIN, 0}};
    while (left > 0) {
        const int ready = poll(fds, 2, kQuietSeconds * 1000);
        if (ready == 0)
            break;
        if (ready < 0)
            continue;
        for (const pollfd& p : fds) {
            if (!(p.revents & POLLIN))
                continue;
            char buffer[1500];
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t got = recvfrom(p.fd, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (got < 12)
                continue;
            const Bytes query(buffer, size_t(got));
            // A response is no query: answering answers would let two of us talk forever.
            if (query[2] & 0x80)
                continue;
            const unsigned id = (unsigned char)query[0] << 8 | (unsigned char)query[1];
            const std::vector<Bytes> burst =
                p.fd == netbios ? netbiosBurst(id, query) : mdnsBurst(id, query);
            // The burst over and over, half of what is left for each question: a flood
            // that the asker's socket must drain without losing its survey.
            for (long share = (left + 1) / 2; share > 0 && left > 0;) {
                for (const Bytes& packet : burst) {
                    if (share <= 0 || left <= 0)
                        break;
                    sendto(p.fd, packet.data(), packet.size(), 0,
                           reinterpret_cast<const sockaddr*>(&from), fromSize);
                    --share;
                    --left;
                }
            }
            std::printf("%ld\n", total - left);
            std::fflush(stdout);
        }
    }
    close(netbios);
    close(mdns);
    return 0;
}
