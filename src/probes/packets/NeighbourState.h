#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

// What the system's neighbour (ARP) table says of one address now.
struct NeighbourState {
    enum class Kind { None, Incomplete, Reachable, Stale, Delay, Probe, Failed, Permanent };
    Kind kind = Kind::None;
    // When an ARP reply last confirmed the entry, where the system tells.
    std::optional<std::chrono::steady_clock::time_point> confirmedAt;
    // The interface the entry belongs to, for a request to confirm it afresh.
    int interfaceIndex = 0;
    // The link-layer address the entry holds, as the table gives it (empty: none).
    QByteArray linkAddress;
    // Another party keeps the entry: it was learnt externally (EVPN, a controller) or
    // the kernel resolves it on an owner's behalf. Such an entry is only read.
    bool keptByOthers = false;
    // The table could not be read: nothing is known of the address, and a host that
    // drops echo requests cannot show it is there.
    bool unread = false;
};

// A host that drops echo requests still answers ARP: it is present when an ARP reply
// confirmed its entry after `since`, when its probe began. A stale, failed or
// incomplete entry, or one confirmed earlier, may be a host that has left the LAN.
bool confirmedSince(const NeighbourState& entry, std::chrono::steady_clock::time_point since);
