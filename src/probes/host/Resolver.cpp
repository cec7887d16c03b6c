#include "probes/host/Resolver.h"

#include "probes/host/ToolCheck.h"
#include "probes/packets/ProbeText.h"
#include "probes/platform/PlatformProfile.h"

bool PingDllChk(const PlatformProfile& profile)
{
    const QStringList tools = profile.console().requiredTools();
    for (const QString& tool : tools) {
        if (!DllChk(profile, tool))
            return false;
    }
    return true;
}

QString HostToIp(const PlatformProfile& profile, const QString& name)
{
    if (name.isEmpty() || name.contains(QChar(u'\0')))
        return {};
    return profile.names().forwardAddress(name);
}

QString IpToHost(const PlatformProfile& profile, const QString& ip)
{
    const auto address = profile.names().parseAddress(ip);
    if (!address)
        return {};
    // A name holding a comma or a line break would split or corrupt the data row
    // it is written into.
    return ProbeText::cleanHostName(profile.names().reverseName(*address));
}
