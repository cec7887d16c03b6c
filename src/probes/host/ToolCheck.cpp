#include "probes/host/ToolCheck.h"

#include "probes/platform/PlatformProfile.h"

bool DllChk(const PlatformProfile& profile, const QString& name)
{
    return !name.isEmpty() && !profile.console().findTool(name).isEmpty();
}
