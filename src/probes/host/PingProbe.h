#pragma once

#include "probes/host/Outcomes.h"
#include "probes/platform/CommandRunner.h"

#include <chrono>
#include <optional>

class PlatformProfile;

// subPing: one echo request to the address text by the console ping, whose output must
// name the address as given. `answered` when a reply from that very address came;
// `present` when none came but an ARP reply confirmed the address during the wait;
// `error` when the ping tool could not be started. A text that is no safe operand
// (empty, an option, blanks) is refused with the no-answer result and nothing is run.
// A stop request kills the ping. Where the program can send the request itself,
// AddressSweep does so for a plain dotted address, and this runs only where it cannot.
PingOutcome subPing(const PlatformProfile& profile, const QString& ip, const StopToken& stop);

// The address when `ip` is written exactly as the console ping would print it in its
// reply, so that both ways give the same answer for the same text; nothing otherwise.
std::optional<quint32> plainDottedAddress(const PlatformProfile& profile, const QString& ip);

// An entry not confirmed since the probe of `address` began proves nothing about now:
// the kernel is asked to confirm it afresh, so that a host that drops echo requests
// can show it is still here. Before the echo request, and again while no reply has
// come, for an ARP request the LAN may have lost (the kernel's own comes only after
// the whole wait). The probes of a range share one reading of the table, made no
// earlier than kSharedReading before `at`.
inline constexpr std::chrono::milliseconds kSharedReading{100};
void reconfirmUnconfirmed(const PlatformProfile& profile, quint32 address,
                          std::chrono::steady_clock::time_point began,
                          std::chrono::steady_clock::time_point at);

// A question to the LAN goes only to a host known to be there: one to an address whose
// ARP has not resolved waits in the kernel, charged to the socket that every question
// shares, until resolution fails seconds later, and a range of them fills its buffer.
// Asked by the end of the ping's wait, its answers count until that end; asked later
// (a silent host known only from the table read after the wait), for this much more.
inline constexpr std::chrono::milliseconds kLateQuestionWait{300};
std::chrono::steady_clock::time_point
lanQuestionDeadline(std::chrono::steady_clock::time_point pingDeadline,
                    std::chrono::steady_clock::time_point asked);
