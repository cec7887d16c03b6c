// The kernel's neighbour table dump (rtnetlink messages), as a socket would hand it
// over: the entries it gives and the MAC each would list.

#include "FuzzCheck.h"

#include "probes/host/ArpTable.h"
#include "probes/packets/NeighbourDump.h"
#include "probes/packets/ProbeText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView messages = FuzzCheck::bytesOf(data, size);
    auto end = NeighbourDump::DumpEnd::Pending;
    const NeighbourDump::Entries entries =
        NeighbourDump::parse(messages, std::chrono::steady_clock::now(), &end);
    // Every entry takes a message header of its own.
    FUZZ_CHECK(entries.size() <= size / 16);
    for (const auto& [address, entry] : entries) {
        FUZZ_CHECK(entry.linkAddress.size() <= 32);
        const ArpMatch mac = macOfEntry(entry);
        FUZZ_CHECK(mac.mac.isEmpty() || FuzzCheck::isMacText(mac.mac));
        FUZZ_CHECK(mac.mac != ProbeText::kZeroMac);
        FUZZ_CHECK(!(mac.malformed && !mac.mac.isEmpty()));
        // What the dump kept of an address is the most any of its entries said.
        NeighbourDump::Entries again = entries;
        NeighbourDump::keep(again, address, entry);
        FUZZ_CHECK(again.at(address).interfaceIndex == entry.interfaceIndex &&
                   again.at(address).kind == entry.kind);
    }
    return 0;
}
