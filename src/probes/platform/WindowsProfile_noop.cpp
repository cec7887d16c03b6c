#include "probes/platform/WindowsProfile.h"

// Off Windows the profile serves its command lines and parsers only; the system
// it would ask is not there.

QString WindowsConsole::findTool(const QString&) const
{
    return {};
}

QString WindowsNames::computerName() const
{
    return {};
}

std::optional<quint32> WindowsNames::parseAddress(const QString&) const
{
    return std::nullopt;
}

QString WindowsNames::reverseName(quint32) const
{
    return {};
}

QString WindowsNames::forwardAddress(const QString&) const
{
    return {};
}

NeighbourState WindowsLan::neighbour(quint32, std::chrono::steady_clock::time_point) const
{
    return {};
}
