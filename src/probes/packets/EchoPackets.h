#pragma once

// probes/packets/: bytes in, values out (echo, NetBIOS, multicast DNS, the neighbour
// table's dump, the tools' output texts); no descriptors, each fuzzed.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// ICMP echo packets as bytes, built and read without a socket: what a host on the LAN
// sends back is checked here, where a test or a fuzzer can reach it.
namespace EchoPackets {

// As long as the console ping's default payload: the same packet on the wire. A host
// echoes it whole, so a reply of any other length is no reply to ours.
inline constexpr qsizetype kPayload = 56;
inline constexpr qsizetype kEchoLength = 8 + kPayload;
// The longest IPv4 header, and one byte more than any reply we accept.
inline constexpr qsizetype kReadLength = 60 + kEchoLength + 1;

// The Internet checksum; 0 over a packet that carries its own right one.
quint16 checksum(QByteArrayView data);

// An echo request carrying `identifier` and `sequence`, its payload zeros.
QByteArray request(quint16 identifier, quint16 sequence);

struct Reply {
    quint16 identifier = 0;
    quint16 sequence = 0;
    quint32 source = 0;
};

// An echo reply as a socket gives it: after its IPv4 header (`withIpHeader`, a raw
// socket's) or alone (a datagram echo socket's, whose source is `from`). Nothing for
// anything malformed, cut short, longer than ours, of another type (an error quoting
// one of our requests included) or with a wrong checksum.
std::optional<Reply> readReply(QByteArrayView packet, bool withIpHeader, quint32 from = 0);

} // namespace EchoPackets
