#include "probes/host/ToolCheck.h"

#include "probes/platform/PlatformProfile.h"

bool DllChk(const QString& name)
{
    return DllChk(PlatformProfile::system(), name);
}

bool DllChk(const PlatformProfile& profile, const QString& name)
{
    return !name.isEmpty() && !profile.console().findTool(name).isEmpty();
}
