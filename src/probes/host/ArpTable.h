#pragma once

#include "probes/channels/StopToken.h"
#include "probes/host/Outcomes.h"
#include "probes/platform/ConsoleTools.h"

struct NeighbourState;

class PlatformProfile;

// subMacGet: the MAC text the ARP table holds for the address text. The PC's own
// address (exactly me.myIp) answers me.myMac without consulting anything. An
// address the table does not hold, or holds only as an incomplete entry, gives
// the empty text; `error` when the table cannot be listed or its row for the
// address holds no readable physical address.
MacOutcome subMacGet(const PlatformProfile& profile, const QString& ip, const OwnIdentity& me,
                     const StopToken& stop);

// What a neighbour table's entry says of the address's MAC: the address of an entry
// that holds one (resolved, whether confirmed lately or not), nothing for an entry
// still resolving, failed or without an address, and `malformed` for an address that
// is no Ethernet one.
ArpMatch macOfEntry(const NeighbourState& entry);
