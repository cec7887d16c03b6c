#include "probes/packets/EchoPackets.h"

namespace EchoPackets {

namespace {

constexpr char kEchoReply = 0;
constexpr char kEcho = 8;

quint8 at(QByteArrayView bytes, qsizetype i)
{
    return quint8(bytes[i]);
}

} // namespace

quint16 checksum(QByteArrayView data)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2)
        sum += quint32(at(data, i)) << 8 | at(data, i + 1);
    if (data.size() % 2)
        sum += quint32(at(data, data.size() - 1)) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

QByteArray request(quint16 identifier, quint16 sequence)
{
    QByteArray packet(kEchoLength, '\0');
    packet[0] = kEcho;
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence);
    const quint16 sum = checksum(packet);
    packet[2] = char(sum >> 8);
    packet[3] = char(sum);
    return packet;
}

std::optional<Reply> readReply(QByteArrayView packet, bool withIpHeader, quint32 from)
{
    QByteArrayView echo = packet;
    if (withIpHeader) {
        if (packet.size() < 20 || at(packet, 0) >> 4 != 4)
            return std::nullopt;
        const qsizetype header = qsizetype(at(packet, 0) & 0x0f) * 4;
        if (header < 20 || packet.size() != header + kEchoLength)
            return std::nullopt;
        echo = packet.sliced(header);
        from = quint32(at(packet, 12)) << 24 | quint32(at(packet, 13)) << 16 |
               quint32(at(packet, 14)) << 8 | at(packet, 15);
    } else if (packet.size() != kEchoLength) {
        return std::nullopt;
    }
    if (checksum(echo) != 0 || echo[0] != kEchoReply || echo[1] != 0)
        return std::nullopt;
    return Reply{quint16(at(echo, 4) << 8 | at(echo, 5)), quint16(at(echo, 6) << 8 | at(echo, 7)),
                 from};
}

} // namespace EchoPackets
