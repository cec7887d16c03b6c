// The Linux profile's parsers and the shared text rules. Input: see ProbeInput.h; the
// output is decoded as the profile decodes what its tools write.

#include "FuzzCheck.h"
#include "ProbeInput.h"
#include "ProbeTextChecks.h"

#include "probes/platform/LinuxProfile.h"

namespace {

QString dotted(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // No tools: nothing here may run a program or read a system table.
    static const LinuxConsole console{LinuxTools{}};
    static const LinuxNames names{QString()};
    const FuzzCheck::ProbeInput input = FuzzCheck::ProbeInput::split(data, size);
    const QString output = console.decodeOutput(input.output);

    FuzzCheck::checkProbeText(input.ip, output);
    FuzzCheck::checkProfileAnswers(console, input.ip, output);

    // The default route's interface is one whole field of the route table.
    const QString routeInterface = LinuxNames::parseDefaultRoute(output);
    if (!routeInterface.isEmpty()) {
        FUZZ_CHECK(output.contains(routeInterface));
        FUZZ_CHECK(ProbeText::fields(routeInterface) == QStringList{routeInterface});
    }

    // An accepted address is never the one inet_addr cannot tell from a failure, and
    // its plain dotted form reads back as the same address.
    if (const auto address = names.parseAddress(input.ip)) {
        FUZZ_CHECK(*address != 0xFFFFFFFFu);
        FUZZ_CHECK(names.parseAddress(dotted(*address)) == address);
    }
    return 0;
}
