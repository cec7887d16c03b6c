// ICMP echo replies. Input: a first byte that says whether the packet comes with its
// IPv4 header (a raw socket's, odd) or alone (a datagram echo socket's, even), then
// the packet as it came from the LAN.

#include "FuzzCheck.h"

#include "probes/packets/EchoPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool withIpHeader = data[0] & 1;
    const QByteArrayView packet = FuzzCheck::bytesOf(data + 1, size - 1);
    constexpr quint32 kFrom = 0xC6120007;

    if (const auto reply = EchoPackets::readReply(packet, withIpHeader, kFrom)) {
        // Exactly our length after a header of 20 to 60 bytes, and whole.
        const QByteArrayView echo = packet.last(EchoPackets::kEchoLength);
        FUZZ_CHECK(withIpHeader ? packet.size() >= 20 + EchoPackets::kEchoLength &&
                                      packet.size() <= 60 + EchoPackets::kEchoLength
                                : packet.size() == EchoPackets::kEchoLength);
        FUZZ_CHECK(EchoPackets::checksum(echo) == 0);
        FUZZ_CHECK(withIpHeader || reply->source == kFrom);
        // Our own request with its identifier and sequence is no reply; answered, it is.
        QByteArray request = EchoPackets::request(reply->identifier, reply->sequence);
        FUZZ_CHECK(!EchoPackets::readReply(request, false, kFrom));
        request[0] = request[2] = request[3] = 0;
        const quint16 sum = EchoPackets::checksum(request);
        request[2] = char(sum >> 8);
        request[3] = char(sum);
        const auto answered = EchoPackets::readReply(request, false, kFrom);
        FUZZ_CHECK(answered && answered->identifier == reply->identifier &&
                   answered->sequence == reply->sequence);
    }
    return 0;
}
