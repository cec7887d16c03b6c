#pragma once

#include "probes/channels/Requests.h"

// The kernel's IPv4 neighbour table over rtnetlink, the program's one reader of it on
// Linux: its entries with their state, link-layer address and the time of their last
// confirmation, which /proc/net/arp does not give (the messages read by NeighbourDump).
namespace NeighbourTable {

// The entry for `address` from a dump made no earlier than `notBefore`. The probes of
// a range finish their waits within milliseconds of each other: one dump serves
// every probe whose wait ended before it was made. A table that cannot be read, even
// at a second try, gives an entry marked `unread`.
NeighbourState entry(quint32 address, std::chrono::steady_clock::time_point notBefore);

// Puts a known entry into the probe state afresh, so that the kernel confirms it with
// an ARP request at once, also when it was being probed already. False when refused
// (it needs CAP_NET_ADMIN); after the first refusal no further request is made.
bool reconfirm(quint32 address, int interfaceIndex);

} // namespace NeighbourTable
