#pragma once

// probes/sweep/: a whole range in flight with one waiter.

#include "probes/channels/StopToken.h"
#include "probes/channels/Wakeup.h"
#include "probes/host/Outcomes.h"
#include "probes/sweep/LookupPool.h"

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PlatformProfile;

// The probes of a whole range in flight at once, with one thread waiting for all of
// them: each address's echo request goes out as it starts, its name is looked up on a
// LookupPool, its questions to the LAN go out once its reply or its neighbour entry
// shows it is there, and the waiter reports each address once its reply, its name
// and, for a silent host, the neighbour table have had their say: the name and the
// ping's outcome as SystemProbes::probeAddress finds them, without a thread held for
// every address's wait.
class AddressSweep {
public:
    using Report = std::function<void(const QString& host, const PingOutcome& ping)>;
    // Whom a probe asks for the name besides the echo: the resolver, and the host itself
    // where the resolver knows none (a survey's address); only the host (the resolver
    // was asked already); or nobody (a ping alone).
    enum class Names { ResolverThenLan, LanOnly, None };

    explicit AddressSweep(const PlatformProfile& profile);
    // Addresses still in flight are dropped without a report.
    ~AddressSweep();
    AddressSweep(const AddressSweep&) = delete;
    AddressSweep& operator=(const AddressSweep&) = delete;

    // Whether start() can take `ip`: a plain dotted address. Where the system lets
    // the program send no echo request itself, the console ping runs on a lookup
    // thread instead.
    bool takes(const QString& ip) const;
    // Returns at once; `report` follows once, on the waiter's thread. A stopped
    // address reports at once, with nothing heard.
    void start(const QString& ip, const StopToken& stop, Report report,
               Names names = Names::ResolverThenLan);
    // start() and the wait for its report, for a caller on a thread of its own.
    PingOutcome await(const QString& ip, const StopToken& stop, Names names, QString* host);

private:
    struct Probe;

    void run();
    void begin(const std::shared_ptr<Probe>& shared);
    // Whether the probe is done; done or not, when it wants to be looked at again.
    bool settle(Probe& probe, std::chrono::steady_clock::time_point now,
                std::chrono::steady_clock::time_point& next);
    // For a probe that no reply has shown there yet: whether an ARP reply has, read
    // while its name is wanted and once its wait is over.
    void readNeighbour(Probe& probe, std::chrono::steady_clock::time_point now, bool nameWanted,
                       std::chrono::steady_clock::time_point& next);
    void finish(Probe& probe);

    const PlatformProfile& m_profile;
    Wakeup m_wakeup;
    std::mutex m_lock;
    std::vector<std::shared_ptr<Probe>> m_inbox;
    bool m_closing = false;
    // After what their calls use: each waits for those still running as it goes.
    LookupPool m_lookups;
    // The console pings have threads of their own: behind a range of lookups that a
    // slow name server holds, they would wait for its timeouts.
    LookupPool m_consolePings;
    std::thread m_waiter;
};
