#pragma once

// probes/channels/: one shared descriptor per protocol, waited on without blocking; what
// each hands back for one question.

#include "probes/packets/NeighbourState.h"

#include <QString>

#include <chrono>
#include <optional>

class StopToken;

// One echo request that the program sent itself, without the console ping, watched
// without waiting by the one waiter of many requests: whether an echo reply from the
// very address has been collected yet (never for a request that could not be sent: no
// route, a broadcast address), the descriptor that turns readable when replies may have
// come (-1: none to watch), and collecting them. The waiter keeps the deadline.
class EchoRequest {
public:
    virtual ~EchoRequest() = default;
    virtual bool answered() = 0;
    virtual int descriptor() const = 0;
    virtual void collect() = 0;
};

// One ARP request that the program broadcast itself for an address of an attached
// network, watched without waiting by the one waiter of many requests: whether a reply
// from the very address asked, on the interface asked on, has been collected yet, the
// descriptor that turns readable when replies may have come, and collecting them. The
// waiter keeps the deadline and says when to ask once more, for a request or a reply
// the LAN may have lost.
class ArpRequest {
public:
    virtual ~ArpRequest() = default;
    virtual bool answered() = 0;
    virtual int descriptor() const = 0;
    virtual void collect() = 0;
    virtual void askAgain() = 0;
};

// The questions to one host about the name it gives itself on the LAN, sent together,
// and watched without waiting by the one waiter of many requests.
class LanNameRequest {
public:
    virtual ~LanNameRequest() = default;
    // The name, cleaned for the list rows (NetBIOS's workstation name, else the one
    // multicast DNS gives), once the answers so far decide it; empty when neither
    // answered before `deadline`; nothing while one may still come. Asks again what is
    // unanswered when it is due; call it again by nextCheck() at the latest.
    virtual std::optional<QString> check(std::chrono::steady_clock::time_point deadline) = 0;
    virtual std::chrono::steady_clock::time_point
    nextCheck(std::chrono::steady_clock::time_point deadline) const = 0;
};
