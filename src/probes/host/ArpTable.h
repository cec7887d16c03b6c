#pragma once

#include "probes/channels/StopToken.h"
#include "probes/host/Outcomes.h"

class PlatformProfile;

// subMacGet: the MAC text the ARP table holds for the address text. The PC's own
// address (exactly me.myIp) answers me.myMac without consulting anything. An
// address the table does not hold, or holds only as an incomplete entry, gives
// the empty text; `error` when the table cannot be listed or its row for the
// address holds no readable physical address.
MacOutcome subMacGet(const QString& ip, const OwnIdentity& me, const StopToken& stop);
MacOutcome subMacGet(const PlatformProfile& profile, const QString& ip, const OwnIdentity& me,
                     const StopToken& stop);
