// A hostile host of the lab: it answers every NetBIOS name service query (UDP 137) and
// multicast DNS query (UDP 5353) with a burst of forged and broken answers, so that a
// lab test can check that the survey neither crashes nor hangs nor lists what they say.
//
// Usage: hostile_responder <count> | forge | flood
//
// hostile_responder <count>
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
//
// hostile_responder forge <address>...
//   Also sees the echo requests to its addresses (a raw socket), and answers each
//   question it sees as if from each of the given addresses (a raw socket too): a node
//   status answer "FORGED", a PTR "forged.local", an echo reply, each with the ids or
//   sequences that counting from the one it saw would give the questions asked of
//   those addresses in a survey, and for an echo request also the 8 after it. Echo
//   replies go out three times, 0, 100 and 300 ms after the request, for the requests
//   sent after it; a question asked again is answered once. It prints the kind of
//   each question it answers ("netbios", "mdns", "echo") and "listening" once its
//   sockets are open. One guess per question from a few addresses: with ids drawn at
//   random, one of them is right about once in two thousand surveys.
// hostile_responder flood <address>...
//   As forge, and from the first question on, while questions keep coming (3 s after
//   the last), 1,000 mDNS answers a second of 8,990 bytes each, in turn from every
//   other address of the /24 with the ids the forge would use: 620 PTR records whose
//   names point at a 255-byte name, none for the address asked. It prints
//   "flood <n>" after every thousand.
// Either way it exits with 0 after 20 seconds without a question.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
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

// Multicast queries to 224.0.0.251 reach the socket only as a member of the group;
// without a multicast route the unicast ones still do. Says so once the sockets are
// ready for the first question.
void startListening(int mdns)
{
    ip_mreq group{};
    group.imr_multiaddr.s_addr = inet_addr("224.0.0.251");
    group.imr_interface.s_addr = htonl(INADDR_ANY);
    setsockopt(mdns, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
    std::printf("listening\n");
    std::fflush(stdout);
}

// --- Forging --------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

enum class Kind { Netbios, Mdns, Echo };

// A question one of our addresses was asked.
struct Seen {
    Kind kind;
    uint32_t asker = 0; // host byte order
    uint16_t port = 0;  // the asker's, or the echo identifier
    uint32_t to = 0;    // which of our addresses
    unsigned id = 0;    // transaction id or echo sequence
    int fd = -1;        // the socket it came on
    Bytes query;        // a name question as it came
};

uint16_t checksum(const Bytes& data)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); i += 2)
        sum += (unsigned char)data[i] << 8 | (i + 1 < data.size() ? (unsigned char)data[i + 1] : 0);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

Bytes u32(uint32_t value)
{
    return u16(value >> 16) + u16(value & 0xFFFF);
}

// Sends `payload` of protocol `protocol` from `from` to `to` as IPv4 packets of our own
// making, cut into fragments where it does not fit one frame.
void sendAs(int raw, uint32_t from, uint32_t to, int protocol, const Bytes& payload)
{
    static uint16_t ipId = uint16_t(getpid());
    ++ipId;
    constexpr size_t kChunk = 1480;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(to);
    for (size_t at = 0; at == 0 || at < payload.size(); at += kChunk) {
        const size_t length = std::min(kChunk, payload.size() - at);
        const bool more = at + length < payload.size();
        const Bytes packet = Bytes("\x45\0", 2) + u16(unsigned(20 + length)) + u16(ipId) +
                             u16(unsigned((more ? 0x2000 : 0) | at / 8)) + char(64) +
                             char(protocol) + u16(0) + u32(from) + u32(to) +
                             payload.substr(at, length);
        sendto(raw, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&target),
               sizeof target);
    }
}

Bytes udp(uint16_t from, uint16_t to, const Bytes& payload)
{
    // No checksum: IPv4 allows it, and the kernel takes it so.
    return u16(from) + u16(to) + u16(unsigned(8 + payload.size())) + u16(0) + payload;
}

Bytes echoReply(uint16_t identifier, uint16_t sequence)
{
    Bytes icmp = Bytes("\0\0\0\0", 4) + u16(identifier) + u16(sequence) + Bytes(56, '\0');
    const uint16_t sum = checksum(icmp);
    icmp[2] = char(sum >> 8);
    icmp[3] = char(sum & 0xFF);
    return icmp;
}

Bytes reverseName(uint32_t address)
{
    Bytes out;
    for (int shift = 0; shift < 32; shift += 8)
        out += label(std::to_string((address >> shift) & 0xFF));
    return out + label("in-addr") + label("arpa") + '\0';
}

// 8,990 bytes: a 255-byte name, then PTR records for another name pointing at it.
Bytes fullSize(unsigned id)
{
    const Bytes question = reverseName(0xC6120000) + u16(12) + u16(1);
    const size_t longAt = 12 + question.size();
    Bytes longName;
    for (int i = 0; i < 127; ++i)
        longName += label(Bytes(1, char('a' + i % 26)));
    longName += '\0';
    Bytes body = question + record(longName, 1, 1, Bytes("\xC6\x12\x00\x07", 4));
    const Bytes pointer = u16(0xC000 | unsigned(longAt));
    unsigned records = 1;
    while (12 + body.size() + 14 <= 8990) {
        body += record(pointer, 12, 1, pointer);
        ++records;
    }
    return header(id, 0x8400, 1, records) + body;
}

class Hostile {
public:
    // With `breakLeft` > 0, it only answers the name questions, with at most that many
    // broken answers in all; otherwise it forges, and floods with `flood`.
    Hostile(int raw, long breakLeft, bool flood, std::set<uint32_t> victims)
        : m_raw(raw)
        , m_breakTotal(breakLeft)
        , m_breakLeft(breakLeft)
        , m_flood(flood)
        , m_victims(std::move(victims))
    {
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) == 0) {
            for (ifaddrs* at = list; at; at = at->ifa_next) {
                if (at->ifa_addr && at->ifa_addr->sa_family == AF_INET)
                    m_own.insert(
                        ntohl(reinterpret_cast<sockaddr_in*>(at->ifa_addr)->sin_addr.s_addr));
            }
            freeifaddrs(list);
        }
    }

    bool done() const { return m_breakTotal > 0 && m_breakLeft <= 0; }

    void answer(const Seen& seen)
    {
        if (m_breakTotal > 0)
            return breakAnswers(seen);
        if (!m_answered.insert({int(seen.kind), seen.port, seen.id}).second)
            return;
        static const char* const names[] = {"netbios", "mdns", "echo"};
        std::printf("%s\n", names[int(seen.kind)]);
        std::fflush(stdout);
        m_last = seen;
        m_lastAt = Clock::now();
        if (seen.kind == Kind::Mdns) {
            m_mdns = seen;
            m_floodTargets.clear();
        }
        if (seen.kind == Kind::Echo) {
            for (const int ms : {0, 100, 300})
                m_later.emplace(m_lastAt + std::chrono::milliseconds(ms), seen);
        } else {
            forge(seen);
        }
    }

    // Whatever is due; the milliseconds until more is, or -1.
    int run()
    {
        const auto now = Clock::now();
        while (!m_later.empty() && m_later.begin()->first <= now) {
            forge(m_later.begin()->second);
            m_later.erase(m_later.begin());
        }
        int wait =
            m_later.empty()
                ? -1
                : int(std::chrono::ceil<std::chrono::milliseconds>(m_later.begin()->first - now)
                          .count());
        if (m_flood && m_last && now - m_lastAt < std::chrono::seconds(3)) {
            if (!m_floodFrom)
                m_floodFrom = now;
            // A thousand a second, counted from when the flood began; a late wake-up
            // catches up a little at a time.
            const long due =
                long(std::chrono::duration_cast<std::chrono::milliseconds>(now - *m_floodFrom)
                         .count()) +
                1;
            for (int k = 0; k < 200 && m_sentInRun < due; ++k, ++m_sentInRun)
                floodOne();
            wait = 1;
        } else {
            m_floodFrom.reset();
            m_sentInRun = 0;
        }
        return wait;
    }

private:
    // Addresses of the /24 of `seen.to` other than ours and the asker's (only the
    // victims unless `all`), each with the ids that counting from the one seen would
    // give its question: in the order of the addresses, less the asker's own, which is
    // not asked; for an echo request also the next ones, as those of requests after it.
    void eachOther(const Seen& seen, bool all, const std::function<void(uint32_t, unsigned)>& send)
    {
        const uint32_t net = seen.to & 0xFFFFFF00;
        for (uint32_t host = 1; host < 255; ++host) {
            const uint32_t from = net | host;
            if (from == seen.asker || m_own.count(from) || (!all && !m_victims.count(from)))
                continue;
            const unsigned asker = seen.asker & 0xFF;
            const unsigned to = seen.to & 0xFF;
            const unsigned skipped = (host < asker) - (to < asker);
            std::set<unsigned> ids{(seen.id + host - to + skipped) & 0xFFFF};
            for (unsigned next = 1; seen.kind == Kind::Echo && next <= 8; ++next)
                ids.insert((seen.id + next) & 0xFFFF);
            for (const unsigned id : ids)
                send(from, id);
        }
    }

    void forge(const Seen& seen)
    {
        eachOther(seen, false, [&](uint32_t from, unsigned id) {
            switch (seen.kind) {
            case Kind::Netbios:
                sendAs(m_raw, from, seen.asker, IPPROTO_UDP,
                       udp(137, seen.port, nodeStatus(id, 1, entry("FORGED"))));
                break;
            case Kind::Mdns:
                sendAs(m_raw, from, seen.asker, IPPROTO_UDP,
                       udp(5353, seen.port,
                           ptr(id, reverseName(from), label("forged") + label("local") + '\0')));
                break;
            case Kind::Echo:
                sendAs(m_raw, from, seen.asker, IPPROTO_ICMP, echoReply(seen.port, id));
                break;
            }
        });
    }

    // Bursts of broken answers back to the asker, half of what is left for each
    // question: a flood that the asker's socket must drain without losing its survey.
    void breakAnswers(const Seen& seen)
    {
        const std::vector<Bytes> burst = seen.kind == Kind::Netbios
                                             ? netbiosBurst(seen.id, seen.query)
                                             : mdnsBurst(seen.id, seen.query);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(seen.port);
        to.sin_addr.s_addr = htonl(seen.asker);
        for (long share = (m_breakLeft + 1) / 2; share > 0 && m_breakLeft > 0;) {
            for (const Bytes& packet : burst) {
                if (share <= 0 || m_breakLeft <= 0)
                    break;
                sendto(seen.fd, packet.data(), packet.size(), 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
                --share;
                --m_breakLeft;
            }
        }
        std::printf("%ld\n", m_breakTotal - m_breakLeft);
        std::fflush(stdout);
    }

    void floodOne()
    {
        if (m_floodTargets.empty() || m_floodAt >= m_floodTargets.size()) {
            m_floodTargets.clear();
            m_floodAt = 0;
            if (!m_mdns)
                return;
            eachOther(*m_mdns, true, [&](uint32_t from, unsigned id) {
                m_floodTargets.push_back({from, id});
            });
            if (m_floodTargets.empty())
                return;
        }
        const auto [from, id] = m_floodTargets[m_floodAt++];
        sendAs(m_raw, from, m_mdns->asker, IPPROTO_UDP, udp(5353, m_mdns->port, fullSize(id)));
        if (++m_flooded % 1000 == 0) {
            std::printf("flood %ld\n", m_flooded);
            std::fflush(stdout);
        }
    }

private:
    int m_raw;
    long m_breakTotal;
    long m_breakLeft;
    bool m_flood;
    std::set<uint32_t> m_victims;
    std::set<uint32_t> m_own;
    std::set<std::tuple<int, unsigned, unsigned>> m_answered;
    std::optional<Seen> m_last;
    std::optional<Seen> m_mdns;
    Clock::time_point m_lastAt;
    std::multimap<Clock::time_point, Seen> m_later;
    std::optional<Clock::time_point> m_floodFrom;
    long m_sentInRun = 0;
    long m_flooded = 0;
    std::vector<std::pair<uint32_t, unsigned>> m_floodTargets;
    size_t m_floodAt = 0;
};

// A datagram and the address it was sent to.
ssize_t receive(int fd, char* buffer, size_t size, sockaddr_in& from, uint32_t& to)
{
    iovec io{buffer, size};
    char control[256];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd, &message, 0);
    to = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            to = ntohl(info.ipi_addr.s_addr);
        }
    }
    return got;
}

// The question waiting on `fd`: the netbios or mdns socket, or the raw ICMP one.
std::optional<Seen> question(int fd, int netbios, int icmp)
{
    char buffer[1500];
    sockaddr_in from{};
    uint32_t to = 0;
    const ssize_t got = fd == icmp ? recv(fd, buffer, sizeof buffer, 0)
                                   : receive(fd, buffer, sizeof buffer, from, to);
    if (got < 12)
        return std::nullopt;
    const auto byte = [&](int i) {
        return unsigned((unsigned char)buffer[i]);
    };
    Seen seen{Kind::Echo, 0, 0, 0, 0, fd, {}};
    if (fd == icmp) {
        const int ip = int(byte(0) & 0x0F) * 4;
        // An echo request, and not from us.
        if (got < ip + 8 || byte(ip) != 8)
            return std::nullopt;
        seen.asker = byte(12) << 24 | byte(13) << 16 | byte(14) << 8 | byte(15);
        seen.to = byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19);
        seen.port = uint16_t(byte(ip + 4) << 8 | byte(ip + 5));
        seen.id = byte(ip + 6) << 8 | byte(ip + 7);
        return seen;
    }
    // A response is no question.
    if (byte(2) & 0x80)
        return std::nullopt;
    seen.kind = fd == netbios ? Kind::Netbios : Kind::Mdns;
    seen.asker = ntohl(from.sin_addr.s_addr);
    seen.port = ntohs(from.sin_port);
    seen.to = to;
    seen.id = byte(0) << 8 | byte(1);
    seen.query.assign(buffer, size_t(got));
    // A broadcast or multicast question names no address of ours: the forged answers
    // come from the /24 of the asker.
    if ((seen.to & 0xFF) == 0xFF || (seen.to >> 28) == 0xE)
        seen.to = (seen.asker & 0xFFFFFF00) | 0xFF;
    return seen;
}

// Answers what it is asked on ports 137 and 5353 and, with `echo`, the echo requests
// to its addresses, until it has been asked nothing for a while or `responder` is done.
int serve(Hostile& responder, bool echo)
{
    const int netbios = openSocket(137);
    const int mdns = openSocket(5353);
    const int icmp = echo ? socket(AF_INET, SOCK_RAW, IPPROTO_ICMP) : -1;
    if (netbios < 0 || mdns < 0 || (echo && icmp < 0)) {
        std::perror("hostile_responder: socket");
        return 1;
    }
    const int on = 1;
    for (const int fd : {netbios, mdns})
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    startListening(mdns);

    auto quietSince = Clock::now();
    pollfd fds[3] = {{netbios, POLLIN, 0}, {mdns, POLLIN, 0}, {icmp, POLLIN, 0}};
    while (!responder.done() && Clock::now() - quietSince < std::chrono::seconds(kQuietSeconds)) {
        const int wait = responder.run();
        if (poll(fds, echo ? 3 : 2, wait < 0 ? 1000 : wait) <= 0)
            continue;
        for (const pollfd& ready : fds) {
            if (ready.fd >= 0 && (ready.revents & POLLIN)) {
                if (const std::optional<Seen> seen = question(ready.fd, netbios, icmp)) {
                    quietSince = Clock::now();
                    responder.answer(*seen);
                }
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool forge =
        argc >= 2 && (std::strcmp(argv[1], "forge") == 0 || std::strcmp(argv[1], "flood") == 0);
    if (!forge && (argc != 2 || std::atol(argv[1]) <= 0)) {
        std::fprintf(stderr, "usage: hostile_responder <count> | forge|flood <address>...\n");
        return 2;
    }
    std::set<uint32_t> victims;
    for (int i = 2; forge && i < argc; ++i)
        victims.insert(ntohl(inet_addr(argv[i])));
    const int raw = forge ? socket(AF_INET, SOCK_RAW, IPPROTO_RAW) : -1;
    if (forge && raw < 0) {
        std::perror("hostile_responder: socket");
        return 1;
    }
    Hostile hostile(raw, forge ? 0 : std::atol(argv[1]), std::strcmp(argv[1], "flood") == 0,
                    victims);
    return serve(hostile, forge);
}
