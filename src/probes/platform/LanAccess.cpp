#include "probes/platform/LanAccess.h"

LanAccess::EchoWay LanAccess::echoWay() const
{
    return EchoWay::ConsolePing;
}

std::unique_ptr<EchoRequest> LanAccess::sendEcho(quint32) const
{
    return nullptr;
}

LanAccess::NeighbourRoom LanAccess::neighbourRoom() const
{
    return {};
}

NeighbourState LanAccess::neighbour(quint32, std::chrono::steady_clock::time_point) const
{
    return {};
}

bool LanAccess::reconfirmNeighbour(quint32, const NeighbourState&) const
{
    return false;
}

std::unique_ptr<LanNameRequest> LanAccess::askLanName(quint32) const
{
    return nullptr;
}

std::optional<quint32> LanAccess::lanAddress(const QString&, quint32,
                                             std::chrono::steady_clock::time_point,
                                             const StopToken&) const
{
    return std::nullopt;
}
