#pragma once

#include "probes/channels/Requests.h"

#include <chrono>
#include <limits>
#include <memory>
#include <optional>

class StopToken;

// What the program may do on the LAN itself, without a console tool: send its own echo
// requests, read and refresh the neighbour table, ask hosts for their LAN names. This
// base can do none of it: every answer is "not here", and the console tools are used.
class LanAccess {
public:
    virtual ~LanAccess() = default;

    // How sendEcho sends: over an unprivileged echo socket, over a raw socket (root),
    // either shared by all requests (no child process, one descriptor in all), or not
    // at all, and the console ping is run instead.
    enum class EchoWay { ConsolePing, EchoSocket, RawSocket };
    virtual EchoWay echoWay() const;
    bool canSendEcho() const { return echoWay() != EchoWay::ConsolePing; }
    // Sends one echo request to `address` itself; nullptr where it cannot.
    virtual std::unique_ptr<EchoRequest> sendEcho(quint32 address) const;

    // The neighbour table's entry for `address`, read no earlier than `notBefore`
    // (several probes that finish together may share one reading). Kind::None where
    // there is no such table to read.
    virtual NeighbourState neighbour(quint32 address,
                                     std::chrono::steady_clock::time_point notBefore) const;
    // Asks the system to confirm a known entry with an ARP request now, so that an
    // entry confirmed before a probe began gets its chance to be confirmed during it.
    // False where that is not allowed (it needs the right to change the table) and for
    // an entry the kernel did not learn by itself, which is left as it is.
    virtual bool reconfirmNeighbour(quint32 address, const NeighbourState& entry) const;

    // What the kernel's neighbour table can take from the probes. Each address probed on an
    // attached network makes an entry that holds its place while it resolves, and a live
    // host's for a while after; past the table's hard limit the kernel makes no further
    // entry ("neighbour table overflow"), sends no ARP request, and a live host goes
    // missing. The probes keep their entries within `entries` at any time.
    struct NeighbourRoom {
        int entries = std::numeric_limits<int>::max(); // no limit known
        std::chrono::milliseconds resolving{0};        // a silent address's entry
        std::chrono::milliseconds reachable{0};        // a live host's entry
    };
    // Read when a survey starts: the limits may have been changed since the last one.
    virtual NeighbourRoom neighbourRoom() const;

    // Asks the host at `address` for its name on the LAN, where the platform's own
    // resolver does not (Windows' does: it asks NetBIOS itself). nullptr when nothing
    // could be asked.
    virtual std::unique_ptr<LanNameRequest> askLanName(quint32 address) const;
    // The address a LAN host of that name gives: multicast DNS for a name ending in
    // ".local", else a NetBIOS name query broadcast on the /24 of `ownAddress`.
    virtual std::optional<quint32> lanAddress(const QString& name, quint32 ownAddress,
                                              std::chrono::steady_clock::time_point deadline,
                                              const StopToken& stop) const;
};
