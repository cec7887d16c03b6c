#include "probes/platform/PlatformProfile.h"

#ifdef Q_OS_WIN
#include "probes/platform/WindowsProfile.h"
#else
#include "probes/platform/LinuxProfile.h"
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

NeighbourState PlatformProfile::neighbour(quint32, std::chrono::steady_clock::time_point) const
{
    return {};
}

bool PlatformProfile::reconfirmNeighbour(quint32, const NeighbourState&) const
{
    return false;
}

std::unique_ptr<LanNameRequest> PlatformProfile::askLanName(quint32) const
{
    return nullptr;
}

std::optional<quint32> PlatformProfile::lanAddress(const QString&, quint32,
                                                   std::chrono::steady_clock::time_point,
                                                   const StopToken&) const
{
    return std::nullopt;
}
