// The multicast DNS answers. Input: one packet as it came from the LAN, asked about
// 198.18.0.7 and "web.local" (the corpus holds answers for both); its own first two
// bytes are taken as the id asked with, so that the id check passes as often as it
// fails.

#include "FuzzCheck.h"

#include "probes/packets/LanNamePackets.h"

namespace {

constexpr quint32 kAsked = 0xC6120007;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView packet = FuzzCheck::bytesOf(data, size);
    const quint16 id = size >= 2 ? quint16(data[0] << 8 | data[1]) : 0;
    const quint16 otherId = quint16(id + 1);

    const auto name = LanNamePackets::parseMdnsReverseResponse(packet, id, kAsked);
    if (name) {
        // Labels joined by dots take two bytes fewer than the name on the wire.
        const QByteArray utf8 = name->toUtf8();
        FUZZ_CHECK(!utf8.isEmpty() && utf8.size() <= 253);
        FUZZ_CHECK(QString::fromUtf8(utf8) == *name);
        // Asking for the name's address is refused only for a label that held a dot.
        const bool emptyPart = utf8.split('.').contains(QByteArray());
        FUZZ_CHECK(emptyPart == LanNamePackets::mdnsAddressQuery(0, *name).isEmpty());
    }

    // An answer is one only to the question of its own id.
    FUZZ_CHECK(!LanNamePackets::parseMdnsReverseResponse(packet, otherId, kAsked));

    // Names compare without regard to ASCII case, and only names that can be asked
    // for are found.
    const auto address =
        LanNamePackets::parseMdnsAddressResponse(packet, id, QStringLiteral("web.local"));
    FUZZ_CHECK(address ==
               LanNamePackets::parseMdnsAddressResponse(packet, id, QStringLiteral("WEB.Local")));
    if (address)
        FUZZ_CHECK(!LanNamePackets::parseMdnsAddressResponse(packet, otherId,
                                                             QStringLiteral("web.local")));
    if (name && LanNamePackets::parseMdnsAddressResponse(packet, id, *name))
        FUZZ_CHECK(!LanNamePackets::mdnsAddressQuery(0, *name).isEmpty());

    // Our own query is no answer.
    FUZZ_CHECK(!LanNamePackets::parseMdnsReverseResponse(
        LanNamePackets::mdnsReverseQuery(id, kAsked), id, kAsked));
    return 0;
}
