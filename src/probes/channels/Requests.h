#pragma once

// probes/channels/: one shared descriptor per protocol, waited on without blocking; what
// each hands back for one question.

#include <QString>

#include <chrono>
#include <optional>

class StopToken;

// What the system's neighbour (ARP) table says of one address now.
struct NeighbourState {
    enum class Kind { None, Incomplete, Reachable, Stale, Delay, Probe, Failed, Permanent };
    Kind kind = Kind::None;
    // When an ARP reply last confirmed the entry, where the system tells.
    std::optional<std::chrono::steady_clock::time_point> confirmedAt;
    // The interface the entry belongs to, for a request to confirm it afresh.
    int interfaceIndex = 0;
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

// One echo request that the program sent itself, without the console ping.
class EchoRequest {
public:
    virtual ~EchoRequest() = default;
    // True once an echo reply from the very address arrives within the ping wait,
    // counted from the sending; false when the wait passes, the request could not
    // be sent (no route, a broadcast address) or `stop` is requested first.
    virtual bool waitForReply(const StopToken& stop) = 0;
    // Without waiting, for one waiter that watches many requests: whether the reply
    // has been collected yet, the descriptor that turns readable when replies may
    // have come (-1: none to watch), and collecting them.
    virtual bool answered() = 0;
    virtual int descriptor() const = 0;
    virtual void collect() = 0;
};

// The questions to one host about the name it gives itself on the LAN, sent together.
class LanNameRequest {
public:
    virtual ~LanNameRequest() = default;
    // The name, cleaned for the list rows: NetBIOS's workstation name, else the one
    // multicast DNS gives. Empty when neither answered before `deadline` or `stop`.
    virtual QString wait(std::chrono::steady_clock::time_point deadline, const StopToken& stop) = 0;
    // The same without waiting, for one waiter that watches many requests: the name
    // once the answers so far decide it, nothing while one may still come. Asks again
    // what is unanswered when it is due; call it again by nextCheck() at the latest.
    virtual std::optional<QString> check(std::chrono::steady_clock::time_point deadline) = 0;
    virtual std::chrono::steady_clock::time_point
    nextCheck(std::chrono::steady_clock::time_point deadline) const = 0;
};
