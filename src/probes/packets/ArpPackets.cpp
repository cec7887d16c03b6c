#include "probes/packets/ArpPackets.h"

namespace ArpPackets {

namespace {

// Ethernet, IPv4, and the two operations.
constexpr quint16 kEthernet = 1;
constexpr quint16 kIpv4 = 0x0800;
constexpr quint16 kRequest = 1;
constexpr quint16 kReply = 2;

quint8 at(QByteArrayView bytes, qsizetype i)
{
    return quint8(bytes[i]);
}

quint16 word(QByteArrayView bytes, qsizetype i)
{
    return quint16(at(bytes, i) << 8 | at(bytes, i + 1));
}

quint32 address(QByteArrayView bytes, qsizetype i)
{
    return quint32(word(bytes, i)) << 16 | word(bytes, i + 2);
}

void putWord(QByteArray& bytes, qsizetype i, quint16 value)
{
    bytes[i] = char(value >> 8);
    bytes[i + 1] = char(value);
}

void putAddress(QByteArray& bytes, qsizetype i, quint32 value)
{
    putWord(bytes, i, quint16(value >> 16));
    putWord(bytes, i + 2, quint16(value));
}

} // namespace

QByteArray request(QByteArrayView ownMac, quint32 ownAddress, quint32 asked)
{
    QByteArray packet(kLength, '\0');
    putWord(packet, 0, kEthernet);
    putWord(packet, 2, kIpv4);
    packet[4] = char(kMacLength);
    packet[5] = 4;
    putWord(packet, 6, kRequest);
    for (qsizetype i = 0; i < kMacLength && i < ownMac.size(); ++i)
        packet[8 + i] = ownMac[i];
    putAddress(packet, 14, ownAddress);
    putAddress(packet, 24, asked);
    return packet;
}

std::optional<Reply> readReply(QByteArrayView packet)
{
    if (packet.size() < kLength || word(packet, 0) != kEthernet || word(packet, 2) != kIpv4 ||
        at(packet, 4) != kMacLength || at(packet, 5) != 4 || word(packet, 6) != kReply)
        return std::nullopt;
    const QByteArrayView mac = packet.sliced(8, kMacLength);
    // The group bit: no host answers from a broadcast or multicast MAC.
    if ((at(mac, 0) & 1) || mac == QByteArray(kMacLength, '\0'))
        return std::nullopt;
    return Reply{address(packet, 14), mac.toByteArray(), address(packet, 24)};
}

} // namespace ArpPackets
