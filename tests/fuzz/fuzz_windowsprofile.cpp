// The Windows profile's parsers (they build everywhere) and the shared text rules on
// code page 932 output. Input: see ProbeInput.h; the output is decoded as the profile
// decodes what its console tools write.

#include "FuzzCheck.h"
#include "ProbeInput.h"
#include "ProbeTextChecks.h"

#include "probes/platform/WindowsProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const WindowsConsole console;
    const FuzzCheck::ProbeInput input = FuzzCheck::ProbeInput::split(data, size);
    const QString output = console.decodeOutput(input.output);

    FuzzCheck::checkProbeText(input.ip, output);
    FuzzCheck::checkProfileAnswers(console, input.ip, output);
    return 0;
}
