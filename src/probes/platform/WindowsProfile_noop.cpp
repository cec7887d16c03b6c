#include "probes/platform/WindowsProfile.h"

// Off Windows the profile serves its command lines and parsers only; the system
// it would ask is not there.

QString WindowsProfile::findTool(const QString&) const
{
    return {};
}

QString WindowsProfile::computerName() const
{
    return {};
}

std::optional<quint32> WindowsProfile::parseAddress(const QString&) const
{
    return std::nullopt;
}

QString WindowsProfile::reverseName(quint32) const
{
    return {};
}

QString WindowsProfile::forwardAddress(const QString&) const
{
    return {};
}

NeighbourState WindowsProfile::neighbour(quint32, std::chrono::steady_clock::time_point) const
{
    return {};
}
