#include "probes/sweep/AddressSweep.h"

#include "probes/host/LocalIdentity.h"
#include "probes/host/PingProbe.h"
#include "probes/host/Resolver.h"
#include "probes/packets/ProbeText.h"
#include "probes/platform/PlatformProfile.h"

#include <algorithm>
#include <future>
#include <optional>
#include <stop_token>

namespace {

using Clock = std::chrono::steady_clock;

// Enough threads for a whole range of console pings.
constexpr int kMostConsolePings = 256;
// Times during the wait that a host still silent has the kernel confirm its neighbour
// entry again, evenly spread.
constexpr int kReconfirmations = 2;

// While a host is silent, the probes read the neighbour table on one grid for the
// whole range: every probe shares each reading, and the waiter wakes once for all.
Clock::time_point nextReading(Clock::time_point after)
{
    return Clock::time_point((after.time_since_epoch() / kSharedReading + 1) * kSharedReading);
}

} // namespace

struct AddressSweep::Probe {
    QString ip;
    quint32 address = 0;
    bool onLink = false;         // its address takes an entry in the neighbour table
    Clock::time_point entryHeld; // until when its entry was counted as it began
    Names names = Names::ResolverThenLan;
    StopToken stop;
    Report report;
    std::unique_ptr<std::stop_callback<std::function<void()>>> onStop;

    Clock::time_point began;
    Clock::time_point deadline;
    // The program's own ARP request, while it waits for its reply: no echo request yet,
    // so a dead address makes no entry in the neighbour table. Asked once more half-way,
    // as the kernel asks again for an address that stays silent.
    std::unique_ptr<ArpRequest> arp;
    bool arpAskedAgain = false;
    bool arpAnswered = false;
    std::unique_ptr<EchoRequest> echo;
    bool answered = false;
    int reconfirmed = 0; // during the wait

    Clock::time_point nextReconfirmation() const
    {
        return began + (deadline - began) * (reconfirmed + 1) / (kReconfirmations + 1);
    }

    // An ARP reply confirmed the address since the probe began, or the table read once
    // the wait was over could not say.
    bool present = false;
    bool readAfterWait = false;
    bool unread = false;
    Clock::time_point nextLook;

    // Asked once the host is known to be there, and only when the resolver knows no name.
    bool asked = false;
    std::unique_ptr<LanNameRequest> lan;
    Clock::time_point lanDeadline;
    std::optional<QString> lanName;

    // Written by the lookup threads, under the sweep's lock.
    bool looked = false;
    QString host;
    // Where the system lets the program send no echo request itself, the console ping
    // runs on a thread of the sweep's, and its outcome is the ping's.
    bool console = false;
    std::optional<PingOutcome> consoleOutcome;
};

AddressSweep::AddressSweep(const PlatformProfile& profile, Attached attached)
    : m_profile(profile)
    , m_attached(attached ? std::move(attached)
                          : Attached([] { return attachedNetworks(localInterfaces()); }))
    , m_lookups(kMostNameLookups)
    , m_consolePings(kMostConsolePings)
    , m_waiter([this] { run(); })
{}

AddressSweep::~AddressSweep()
{
    {
        const std::lock_guard hold(m_lock);
        m_closing = true;
    }
    m_wakeup.wake();
    m_waiter.join();
}

bool AddressSweep::takes(const QString& ip) const
{
    return ProbeText::isSafeOperand(ip) && plainDottedAddress(m_profile, ip).has_value();
}

void AddressSweep::start(const QString& ip, const StopToken& stop, Report report, Names names)
{
    auto probe = std::make_shared<Probe>();
    probe->ip = ip;
    probe->address = m_profile.names().parseAddress(ip).value_or(0);
    probe->names = names;
    probe->looked = names != Names::ResolverThenLan;
    probe->stop = stop;
    probe->report = std::move(report);
    probe->onStop = std::make_unique<std::stop_callback<std::function<void()>>>(
        stop.token(), [this] { m_wakeup.wake(); });
    // The name needs no reply and the reply no name: the lookup runs during the wait.
    if (!stop.stopRequested() && !probe->looked) {
        m_lookups.run([this, probe] {
            const QString host = IpToHost(m_profile, probe->ip);
            {
                const std::lock_guard hold(m_lock);
                probe->host = host;
                probe->looked = true;
            }
            m_wakeup.wake();
        });
    }
    {
        const std::lock_guard hold(m_lock);
        m_inbox.push_back(std::move(probe));
    }
    m_wakeup.wake();
}

PingOutcome AddressSweep::await(const QString& ip, const StopToken& stop, Names names,
                                QString* host)
{
    std::promise<PingOutcome> reported;
    start(
        ip, stop,
        [&](const QString& name, const PingOutcome& ping) {
            if (host)
                *host = name;
            reported.set_value(ping);
        },
        names);
    return reported.get_future().get();
}

void AddressSweep::run()
{
    // In the order they started, which is the order of their deadlines.
    std::vector<std::shared_ptr<Probe>> active;
    std::vector<std::shared_ptr<Probe>> arrived;
    for (;;) {
        {
            const std::lock_guard hold(m_lock);
            if (m_closing)
                break;
            arrived.swap(m_inbox);
        }
        // A new range: the table's limits and the PC's networks as they are now.
        if (!arrived.empty() && active.empty() && m_held.empty()) {
            m_room = m_profile.lan().neighbourRoom();
            m_onLink = m_attached();
        }
        for (std::shared_ptr<Probe>& probe : arrived) {
            probe->onLink =
                std::any_of(m_onLink.begin(), m_onLink.end(), [&](const AttachedNetwork& network) {
                    return network.holds(probe->address);
                });
            m_held.push_back(std::move(probe));
        }
        arrived.clear();
        Clock::time_point next = Clock::time_point::max();
        admit(active, Clock::now(), next);
        // Every echo request of the sweep shares one socket, and every ARP request one
        // per interface: collecting once from each serves them all.
        std::vector<int> descriptors;
        bool echoCollected = false;
        for (const std::shared_ptr<Probe>& probe : active) {
            if (probe->echo && !probe->answered && !echoCollected) {
                descriptors.push_back(probe->echo->descriptor());
                probe->echo->collect();
                echoCollected = true;
            }
            if (probe->arp && std::find(descriptors.begin(), descriptors.end(),
                                        probe->arp->descriptor()) == descriptors.end()) {
                descriptors.push_back(probe->arp->descriptor());
                probe->arp->collect();
            }
        }
        const Clock::time_point now = Clock::now();
        std::vector<std::shared_ptr<Probe>> answered;
        std::erase_if(active, [&](const std::shared_ptr<Probe>& probe) {
            if (probe->arp) {
                const Asking state = asking(*probe, now, next);
                if (state == Asking::Waiting)
                    return false;
                if (state == Asking::Answered) {
                    answered.push_back(probe);
                    return true;
                }
            }
            if (!settle(*probe, now, next))
                return false;
            finish(*probe);
            return true;
        });
        // A host that answered ARP came before every probe still waiting for room, and
        // is begun at once where there is room (its echo socket then watched).
        if (!answered.empty()) {
            m_held.insert(m_held.begin(), answered.begin(), answered.end());
            next = now;
        }
        m_wakeup.wait(descriptors, next);
    }
    for (const std::shared_ptr<Probe>& probe : active)
        probe->onStop.reset();
    for (const std::shared_ptr<Probe>& probe : m_held)
        probe->onStop.reset();
    const std::lock_guard hold(m_lock);
    for (const std::shared_ptr<Probe>& probe : m_inbox)
        probe->onStop.reset();
}

void AddressSweep::admit(std::vector<std::shared_ptr<Probe>>& active, Clock::time_point now,
                         Clock::time_point& next)
{
    while (!m_entries.empty() && *m_entries.begin() <= now)
        m_entries.erase(m_entries.begin());
    // A stopped probe makes no entry and reports at once, wherever it waits.
    std::erase_if(m_held, [&](const std::shared_ptr<Probe>& probe) {
        if (!probe->stop.stopRequested())
            return false;
        begin(probe);
        active.push_back(probe);
        return true;
    });
    while (!m_held.empty()) {
        std::shared_ptr<Probe> probe = m_held.front();
        if (probe->onLink && !probe->arpAnswered &&
            (probe->arp = m_profile.lan().sendArp(probe->address))) {
            // No entry until a host answers: the table's room is taken then.
            m_held.pop_front();
            probe->began = now;
            probe->deadline = now + std::chrono::seconds(kPingWaitSeconds);
            active.push_back(std::move(probe));
            continue;
        }
        if (probe->onLink) {
            if (!m_entries.empty() && int(m_entries.size()) >= m_room.entries) {
                next = std::min(next, *m_entries.begin());
                return;
            }
            probe->entryHeld = now + m_room.resolving;
            m_entries.insert(probe->entryHeld);
        }
        m_held.pop_front();
        begin(probe);
        active.push_back(std::move(probe));
    }
}

AddressSweep::Asking AddressSweep::asking(Probe& probe, Clock::time_point now,
                                          Clock::time_point& next)
{
    if (probe.stop.stopRequested()) {
        probe.arp.reset();
        return Asking::Over;
    }
    // Only a probe of its own, whose echo request and the kernel's own ARP request decide,
    // makes the address present: anyone on the LAN may send an ARP reply.
    if (probe.arp->answered()) {
        probe.arp.reset();
        probe.arpAnswered = true;
        return Asking::Answered;
    }
    if (now >= probe.deadline) {
        // A dead address, whose entry (none) the table need not be read for.
        probe.arp.reset();
        probe.readAfterWait = true;
        return Asking::Over;
    }
    if (!probe.arpAskedAgain) {
        const Clock::time_point again = probe.began + (probe.deadline - probe.began) / 2;
        if (now >= again) {
            probe.arp->askAgain();
            probe.arpAskedAgain = true;
        } else {
            next = std::min(next, again);
        }
    }
    next = std::min(next, probe.deadline);
    return Asking::Waiting;
}

// On the waiter's thread: sending is quick and never blocks.
void AddressSweep::begin(const std::shared_ptr<Probe>& shared)
{
    Probe& probe = *shared;
    const Clock::time_point now = Clock::now();
    // A host that answered the program's own ARP request was probed from that request
    // on: where the kernel held an entry for it already, the reply confirmed that entry,
    // an ARP reply during the probe like any other. The echo's wait starts now.
    if (!probe.arpAnswered)
        probe.began = now;
    probe.deadline = now + std::chrono::seconds(kPingWaitSeconds);
    probe.nextLook = nextReading(now);
    if (probe.stop.stopRequested())
        return;
    reconfirmUnconfirmed(m_profile, probe.address, probe.began, now);
    probe.echo = m_profile.lan().sendEcho(probe.address);
    if (!probe.echo) {
        probe.console = true;
        m_consolePings.run([this, probe = shared] {
            const PingOutcome outcome = subPing(m_profile, probe->ip, probe->stop);
            {
                const std::lock_guard hold(m_lock);
                probe->consoleOutcome = outcome;
            }
            m_wakeup.wake();
        });
    }
}

bool AddressSweep::settle(Probe& probe, Clock::time_point now, Clock::time_point& next)
{
    if (probe.stop.stopRequested())
        return true;
    bool looked = false;
    QString host;
    std::optional<PingOutcome> console;
    {
        const std::lock_guard hold(m_lock);
        looked = probe.looked;
        host = probe.host;
        console = probe.consoleOutcome;
    }
    if (probe.echo && !probe.answered) {
        probe.answered = probe.echo->answered();
        if (!probe.answered && probe.reconfirmed < kReconfirmations) {
            const Clock::time_point at = probe.nextReconfirmation();
            if (now >= at) {
                reconfirmUnconfirmed(m_profile, probe.address, probe.began, at);
                ++probe.reconfirmed;
            }
            if (probe.reconfirmed < kReconfirmations)
                next = std::min(next, probe.nextReconfirmation());
        }
    }
    // A lookup or a console ping still running wakes the waiter when it ends.
    const bool waited =
        probe.console ? console.has_value() : probe.answered || now >= probe.deadline;
    const bool nameWanted = probe.names != Names::None && (!looked || host.isEmpty());
    if (!probe.answered && !probe.present && !console)
        readNeighbour(probe, now, nameWanted, next);
    const bool there =
        probe.answered || probe.present || (console && (console->answered || console->present));
    if (there && nameWanted && !probe.asked) {
        probe.asked = true;
        probe.lan = m_profile.lan().askLanName(probe.address);
        probe.lanDeadline = lanQuestionDeadline(probe.deadline, now);
    }
    // The questions to the LAN count only where the resolver knows no name.
    bool named = looked && (!host.isEmpty() || probe.names == Names::None);
    if (looked && !named) {
        if (!probe.asked)
            named = waited && !there;
        else if (!probe.lan || probe.lanName)
            named = true;
        else if ((probe.lanName = probe.lan->check(probe.lanDeadline)))
            named = true;
        else
            next = std::min(next, probe.lan->nextCheck(probe.lanDeadline));
    }
    if (waited && named)
        return true;
    if (!waited && !probe.console)
        next = std::min(next, probe.deadline);
    return false;
}

void AddressSweep::readNeighbour(Probe& probe, Clock::time_point now, bool nameWanted,
                                 Clock::time_point& next)
{
    if (now >= probe.deadline) {
        // The console ping reads the table itself once it ends. Otherwise one dump
        // serves every address whose wait ended before it.
        if (probe.console || probe.readAfterWait)
            return;
        const NeighbourState entry = m_profile.lan().neighbour(probe.address, probe.deadline);
        probe.present = confirmedSince(entry, probe.began);
        probe.unread = entry.unread;
        probe.readAfterWait = true;
        return;
    }
    // A host that drops echo requests is known by its ARP reply: its name is asked as
    // soon as the table shows it, not after the whole wait.
    if (!nameWanted)
        return;
    if (now >= probe.nextLook) {
        probe.present =
            confirmedSince(m_profile.lan().neighbour(probe.address, probe.nextLook), probe.began);
        probe.nextLook = nextReading(now);
    }
    if (probe.nextLook < probe.deadline)
        next = std::min(next, probe.nextLook);
}

void AddressSweep::finish(Probe& probe)
{
    probe.onStop.reset();
    QString host;
    PingOutcome ping;
    if (!probe.stop.stopRequested()) {
        {
            const std::lock_guard hold(m_lock);
            host = probe.host;
            if (probe.console)
                ping = *probe.consoleOutcome;
        }
        if (host.isEmpty() && probe.lanName)
            host = *probe.lanName;
        ping.answered = ping.answered || probe.answered;
        if (!probe.console && !ping.answered) {
            ping.present = probe.present;
            ping.neighboursUnread = probe.unread;
        }
        // A live host's entry stays reachable, and in the table, well after its probe:
        // the same entry, held longer.
        if (probe.onLink && (ping.answered || ping.present)) {
            if (const auto held = m_entries.find(probe.entryHeld); held != m_entries.end())
                m_entries.erase(held);
            m_entries.insert(Clock::now() + m_room.reachable);
        }
    }
    probe.echo.reset();
    probe.lan.reset();
    const Report report = std::move(probe.report);
    report(host, ping);
}
