#pragma once

// probes/sweep/: a whole range in flight with one waiter.

#include "probes/channels/StopToken.h"
#include "probes/channels/Wakeup.h"
#include "probes/host/Outcomes.h"
#include "probes/platform/LanAccess.h"
#include "probes/sweep/LookupPool.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class PlatformProfile;

// The probes of a whole range in flight at once, with one thread waiting for all of
// them: each address's echo request goes out as it starts (on an attached network,
// once its ARP reply to the program's own request shows a host there, where the
// program may ask so), its name is looked up on a
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

    // The networks whose addresses take an entry in the neighbour table when probed.
    using Attached = std::function<QList<AttachedNetwork>()>;
    // `attached`: the PC's own networks unless a test says otherwise.
    explicit AddressSweep(const PlatformProfile& profile, Attached attached = {});
    // Addresses still in flight are dropped without a report.
    ~AddressSweep();
    AddressSweep(const AddressSweep&) = delete;
    AddressSweep& operator=(const AddressSweep&) = delete;

    // The most names looked up at once: a DNS server takes a survey's lookups beside
    // everyone else's, and the smallest common limit (a home router's forwarder takes
    // 150 queries at once from all its clients together, and drops those past it) must
    // leave room for the rest of the LAN. Lookups that a slow server holds queue
    // behind these rather than being lost to its limit.
    static constexpr int kMostNameLookups = 64;

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

    using Clock = std::chrono::steady_clock;
    void run();
    // Begins the probes that have arrived, in the order they came: those on an attached
    // network with the program's own ARP request where it may send one, the others as
    // far as the neighbour table has room for them; the rest wait for room.
    void admit(std::vector<std::shared_ptr<Probe>>& active, Clock::time_point now,
               Clock::time_point& next);
    void begin(const std::shared_ptr<Probe>& shared);
    // For a probe still asking by ARP: whether it waits on, its reply came (it is then
    // probed as any other), or it is over (stopped, or no reply: nothing found).
    enum class Asking { Waiting, Answered, Over };
    Asking asking(Probe& probe, Clock::time_point now, Clock::time_point& next);
    // Whether the probe is done; done or not, when it wants to be looked at again.
    bool settle(Probe& probe, Clock::time_point now, Clock::time_point& next);
    // For a probe that no reply has shown there yet: whether an ARP reply has, read
    // while its name is wanted and once its wait is over.
    void readNeighbour(Probe& probe, Clock::time_point now, bool nameWanted,
                       Clock::time_point& next);
    void finish(Probe& probe);

    const PlatformProfile& m_profile;
    const Attached m_attached;
    Wakeup m_wakeup;
    std::mutex m_lock;
    std::vector<std::shared_ptr<Probe>> m_inbox;
    bool m_closing = false;
    // The waiter's own: the neighbour table's room, measured when probes arrive at an idle
    // sweep (a new survey), the networks that take entries, when each entry the probes
    // made may be collected (earliest first), and the probes waiting for room.
    LanAccess::NeighbourRoom m_room;
    QList<AttachedNetwork> m_onLink;
    std::multiset<Clock::time_point> m_entries;
    std::deque<std::shared_ptr<Probe>> m_held;
    // After what their calls use: each waits for those still running as it goes.
    LookupPool m_lookups;
    // The console pings have threads of their own: behind a range of lookups that a
    // slow name server holds, they would wait for its timeouts.
    LookupPool m_consolePings;
    std::thread m_waiter;
};
