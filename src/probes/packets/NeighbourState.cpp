#include "probes/packets/NeighbourState.h"

bool confirmedSince(const NeighbourState& entry, std::chrono::steady_clock::time_point since)
{
    return entry.kind == NeighbourState::Kind::Reachable && entry.confirmedAt &&
           *entry.confirmedAt >= since;
}
