#include "probes/ComputerName.h"

#include "probes/PlatformProfile.h"
#include "probes/ProbeText.h"

namespace {

constexpr qsizetype kMaxNameLength = 128;

} // namespace

QString GetPcName()
{
    return GetPcName(PlatformProfile::system());
}

QString GetPcName(const PlatformProfile& profile)
{
    // The name goes into a data row as it is; a comma or a control character in it
    // (the kernel does not refuse them) would split or break that row.
    return ProbeText::cleanHostName(profile.computerName()).left(kMaxNameLength);
}
