#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// ARP for IPv4 over Ethernet as bytes, without a socket: the payload a packet socket of
// SOCK_DGRAM sends and receives, the link-layer header left to the kernel. What a host
// on the LAN sends back is checked here, where a test or a fuzzer can reach it.
namespace ArpPackets {

// Hardware and protocol type, their lengths, the operation, then sender and target,
// each a MAC and an IPv4 address.
inline constexpr qsizetype kLength = 28;
inline constexpr qsizetype kMacLength = 6;

// Who has `asked`? Tell `ownAddress`, at `ownMac` (six bytes). The target's MAC is
// zeros, as the kernel's own requests carry it.
QByteArray request(QByteArrayView ownMac, quint32 ownAddress, quint32 asked);

struct Reply {
    quint32 sender = 0;   // the address that answers
    QByteArray senderMac; // six bytes
    quint32 target = 0;   // the address the answer is for
};

// A reply: Ethernet and IPv4 with their lengths, operation 2, from a MAC that could
// hold an address (not zero, not a group address). Nothing for a request, anything cut
// short or of other types; the padding after the 28 bytes is not read.
std::optional<Reply> readReply(QByteArrayView packet);

} // namespace ArpPackets
