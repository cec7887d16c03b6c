// The NetBIOS name service answers. Input: one packet as it came from the LAN; its
// own first two bytes are taken as the id asked with, so that the id check passes as
// often as it fails.

#include "FuzzCheck.h"

#include "probes/packets/LanNamePackets.h"
#include "text/Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView packet = FuzzCheck::bytesOf(data, size);
    const quint16 id = size >= 2 ? quint16(data[0] << 8 | data[1]) : 0;
    const quint16 otherId = quint16(id + 1);

    const auto name = LanNamePackets::parseNodeStatus(packet, id);
    FUZZ_CHECK(!LanNamePackets::parseNodeStatus(packet, otherId));
    if (name && !name->isEmpty()) {
        // Whole cp932 text from one 15-byte field, trimmed.
        const QByteArray bytes = Cp932::encode(*name);
        FUZZ_CHECK(bytes.size() <= 15);
        FUZZ_CHECK(!bytes.endsWith(' ') && !bytes.endsWith('\0'));
        FUZZ_CHECK(Cp932::decode(bytes) == *name);
        // A name read from the LAN can be asked for by name, unless it holds a dot.
        FUZZ_CHECK(name->contains(u'.') != !LanNamePackets::nameQuery(id, *name).isEmpty());
    }

    // The name asked for is the workstation's, when there is one, else a fixed one.
    const QString asked = name && !name->isEmpty() ? *name : QStringLiteral("WS01");
    if (LanNamePackets::parseNameQueryResponse(packet, id, asked)) {
        FUZZ_CHECK(!LanNamePackets::nameQuery(id, asked).isEmpty());
        FUZZ_CHECK(!LanNamePackets::parseNameQueryResponse(packet, otherId, asked));
    }

    // Our own queries are no answers.
    FUZZ_CHECK(!LanNamePackets::parseNodeStatus(LanNamePackets::nodeStatusQuery(id), id));
    return 0;
}
