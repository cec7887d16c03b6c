#include "probes/PlatformProfile.h"

#ifdef Q_OS_WIN
#include "probes/WindowsProfile.h"
#else
#include "probes/LinuxProfile.h"
#endif

const PlatformProfile& PlatformProfile::system()
{
    // The one place the platform is chosen.
#ifdef Q_OS_WIN
    static const WindowsProfile profile;
#else
    static const LinuxProfile profile;
#endif
    return profile;
}

std::unique_ptr<EchoRequest> PlatformProfile::sendEcho(quint32) const
{
    return nullptr;
}
