// ARP replies, as a packet socket of SOCK_DGRAM hands them over: the payload after the
// Ethernet header, padding and all.

#include "FuzzCheck.h"

#include "probes/packets/ArpPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView packet = FuzzCheck::bytesOf(data, size);
    const auto reply = ArpPackets::readReply(packet);
    if (!reply)
        return 0;
    FUZZ_CHECK(packet.size() >= ArpPackets::kLength);
    FUZZ_CHECK(reply->senderMac.size() == ArpPackets::kMacLength);
    FUZZ_CHECK(!(quint8(reply->senderMac[0]) & 1));
    FUZZ_CHECK(reply->senderMac != QByteArray(ArpPackets::kMacLength, '\0'));
    // A request with the same addresses is no reply; made one by its operation, it reads
    // as this one.
    QByteArray request = ArpPackets::request(reply->senderMac, reply->sender, reply->target);
    FUZZ_CHECK(request.size() == ArpPackets::kLength);
    FUZZ_CHECK(!ArpPackets::readReply(request));
    request[7] = 2;
    const auto again = ArpPackets::readReply(request);
    FUZZ_CHECK(again && again->sender == reply->sender && again->target == reply->target &&
               again->senderMac == reply->senderMac);
    // Only the first 28 bytes are read.
    const auto whole = ArpPackets::readReply(packet.first(ArpPackets::kLength));
    FUZZ_CHECK(whole && whole->sender == reply->sender && whole->target == reply->target);
    return 0;
}
