// The multicast DNS answers. Input: one packet as it came from the LAN, asked about
// 198.18.0.7 and "web.local" (the corpus holds answers for both).

#include "FuzzCheck.h"

#include "probes/LanNamePackets.h"

namespace {

constexpr quint32 kAsked = 0xC6120007;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView packet = FuzzCheck::bytesOf(data, size);

    const auto name = LanNamePackets::parseMdnsReverseResponse(packet, kAsked);
    if (name) {
        // Labels joined by dots take two bytes fewer than the name on the wire.
        const QByteArray utf8 = name->toUtf8();
        FUZZ_CHECK(!utf8.isEmpty() && utf8.size() <= 253);
        FUZZ_CHECK(QString::fromUtf8(utf8) == *name);
        // Asking for the name's address is refused only for a label that held a dot.
        const bool emptyPart = utf8.split('.').contains(QByteArray());
        FUZZ_CHECK(emptyPart == LanNamePackets::mdnsAddressQuery(0, *name).isEmpty());
    }

    // The id is not part of the answer: another one gives the same.
    if (size >= 2) {
        QByteArray otherId = packet.toByteArray();
        otherId[0] = char(~otherId[0]);
        FUZZ_CHECK(LanNamePackets::parseMdnsReverseResponse(otherId, kAsked) == name);
    }

    // Names compare without regard to ASCII case, and only names that can be asked
    // for are found.
    const auto address =
        LanNamePackets::parseMdnsAddressResponse(packet, QStringLiteral("web.local"));
    FUZZ_CHECK(address ==
               LanNamePackets::parseMdnsAddressResponse(packet, QStringLiteral("WEB.Local")));
    if (name && LanNamePackets::parseMdnsAddressResponse(packet, *name))
        FUZZ_CHECK(!LanNamePackets::mdnsAddressQuery(0, *name).isEmpty());

    // Our own query is no answer.
    FUZZ_CHECK(!LanNamePackets::parseMdnsReverseResponse(
        LanNamePackets::mdnsReverseQuery(0, kAsked), kAsked));
    return 0;
}
