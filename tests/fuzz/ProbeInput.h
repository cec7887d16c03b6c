#pragma once

#include "FuzzCheck.h"

#include "probes/packets/ProbeText.h"
#include "probes/platform/ConsoleTools.h"

namespace FuzzCheck {

// A probe input: the address text in UTF-8 up to the first LF, then the tool's output
// as the bytes the tool wrote. The LF belongs to neither; an input without one is all
// address and no output.
struct ProbeInput {
    QString ip;
    QByteArrayView output;

    static ProbeInput split(const uint8_t* data, size_t size)
    {
        const QByteArrayView bytes = bytesOf(data, size);
        const qsizetype lf = bytes.indexOf('\n');
        if (lf < 0)
            return {QString::fromUtf8(bytes), {}};
        return {QString::fromUtf8(bytes.first(lf)), bytes.sliced(lf + 1)};
    }
};

// What every profile's answers promise, whatever the output held: a ping answers only
// for an address the output names, an ARP row gives the program's MAC text or reports
// a malformed row (never both, never the all-zero address), the adapter listing the
// program's MAC text or nothing.
inline void checkProfileAnswers(const ConsoleTools& console, const QString& ip,
                                const QString& output)
{
    if (console.pingAnswered(output, ip))
        FUZZ_CHECK(!ip.isEmpty() && output.contains(ip));

    const ArpMatch arp = console.arpMac(output, ip);
    FUZZ_CHECK(arp.mac.isEmpty() || isMacText(arp.mac));
    FUZZ_CHECK(!(arp.malformed && !arp.mac.isEmpty()));
    FUZZ_CHECK(arp.mac != ProbeText::kZeroMac);
    if (!arp.mac.isEmpty() || arp.malformed)
        FUZZ_CHECK(!ip.isEmpty() && output.contains(ip));

    const QString adapter = console.adapterListMac(output);
    FUZZ_CHECK(adapter.isEmpty() || isMacText(adapter));
    FUZZ_CHECK(adapter != ProbeText::kZeroMac);
}

} // namespace FuzzCheck
