#include "probes/MPCNAME.h"

#include "probes/PlatformProfile.h"

namespace {

constexpr qsizetype kMaxNameLength = 128;

} // namespace

QString GetPcName()
{
    return GetPcName(PlatformProfile::system());
}

QString GetPcName(const PlatformProfile& profile)
{
    return profile.computerName().left(kMaxNameLength);
}
