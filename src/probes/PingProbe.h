#pragma once

#include "probes/NetworkProbes.h"

class PlatformProfile;

// The wait for the echo reply, in seconds, where the platform's ping takes one
// (Linux). A dead address costs about this much.
inline constexpr int kPingWaitSeconds = 1;

// subPing: one echo request to the address text. `answered` when the output holds
// a reply from that very address; `error` when the ping tool could not be started.
// A text that is no safe operand (empty, an option, blanks) is refused with the
// no-answer result and nothing is run. A stop request kills the ping.
PingOutcome subPing(const QString& ip, const StopToken& stop);
PingOutcome subPing(const PlatformProfile& profile, const QString& ip, const StopToken& stop);
