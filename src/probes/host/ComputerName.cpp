#include "probes/host/ComputerName.h"

#include "probes/packets/ProbeText.h"
#include "probes/platform/PlatformProfile.h"

namespace {

constexpr qsizetype kMaxNameLength = 128;

} // namespace

QString GetPcName(const PlatformProfile& profile)
{
    // The name goes into a data row as it is; a comma or a control character in it
    // (the kernel does not refuse them) would split or break that row.
    return ProbeText::cleanHostName(profile.names().computerName()).left(kMaxNameLength);
}
