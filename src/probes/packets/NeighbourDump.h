#pragma once

#include "probes/packets/NeighbourState.h"

#include <QByteArrayView>

#include <map>

// The kernel's answer to a dump of its IPv4 neighbour table (rtnetlink messages) as
// values, read without a socket.
namespace NeighbourDump {

using Entries = std::map<quint32, NeighbourState>;

// How far a dump has come: its end may still be to come, it came, or the kernel broke
// the dump off (an error, or the table changed under it) and what came is no table.
enum class DumpEnd { Pending, Whole, Broken };

// The entries of one dump's messages, read at `readAt`, and where the dump stands after
// them. Where an address has entries on several interfaces the reachable one wins.
Entries parse(QByteArrayView messages, std::chrono::steady_clock::time_point readAt, DumpEnd* end);

// Adds an entry for `address` where it says more than the one already there.
void keep(Entries& entries, quint32 address, const NeighbourState& state);

} // namespace NeighbourDump
