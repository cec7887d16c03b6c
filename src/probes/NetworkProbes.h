#pragma once

// probes/: the face that the survey, the window and the command line see.

#include "probes/channels/StopToken.h"
#include "probes/host/Outcomes.h"

#include <QString>
#include <QThreadPool>

#include <functional>

// How a host showed this run that it is there: its echo reply, or only its ARP reply
// (a host whose firewall drops echo requests). Scripts may tell the two apart.
enum class Presence { Unseen, Echo, Arp };

// What the survey learns of one address.
struct AddressFindings {
    QString host;
    QString mac;
    Presence presence = Presence::Unseen;
    bool pingError = false;
    bool macError = false;
    bool neighboursUnread = false; // as PingOutcome's
};

// What a ping panel learns of one address: the ping and, once the host is known to be
// there, its MAC.
struct PingFindings {
    PingOutcome ping;
    MacOutcome mac;
};

// What one address costs while its probes run, for the survey to keep within the
// process's limits: descriptors held at the same time, and threads plus child
// processes (both count against the limit of tasks); and what the probes hold for all
// addresses together however many are in flight (a bounded pool of threads).
struct ProbeCost {
    int descriptors = 10;
    int tasks = 2;
    int sharedDescriptors = 0;
    int sharedTasks = 0;
};

// The probes as the survey and the window use them. Every call blocks only its
// caller and may run on any thread at the same time as the others; none of them
// shows anything. Tests replace the system's implementation with a scripted one.
class NetworkProbes {
public:
    virtual ~NetworkProbes() = default;

    // Start-up: the tools the probes need are present (PingDllChk).
    virtual bool toolsPresent() = 0;
    // Start-up: the PC's name, address and adapter MAC (GetPcName, HostToIp, MacGet).
    virtual OwnIdentity ownIdentity() = 0;

    virtual QString hostToIp(const QString& name) = 0;                      // HostToIp
    virtual QString ipToHost(const QString& ip) = 0;                        // IpToHost
    virtual PingOutcome ping(const QString& ip, const StopToken& stop) = 0; // subPing
    // subMacGet; `me` gives the own-address shortcut.
    virtual MacOutcome macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop) = 0;

    // One address of a survey: its name, one ping and, only once the host is known to be
    // there (an echo reply, or an ARP reply during the wait), its MAC.
    // Nothing more starts once `stop` is requested. Sequential here; the system's
    // probes look the name up while the reply is awaited.
    virtual AddressFindings probeAddress(const QString& ip, const OwnIdentity& me,
                                         const StopToken& stop);
    // How a survey probes each address: returns at once, and `report` follows once, on
    // any thread, with probeAddress's findings (nothing found for a stopped address).
    // The probes own the threads this takes.
    using Report = std::function<void(const AddressFindings&)>;
    virtual void startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                              const Report& report) = 0;
    // How a ping panel checks an address: the same path without the name. Returns at
    // once; `report` follows once, on any thread.
    using PingReport = std::function<void(const PingFindings&)>;
    virtual void startPing(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                           const PingReport& report) = 0;
    // The IPv4 networks of the up interfaces (no loopback, no link-local), as they are now.
    virtual QList<AttachedNetwork> attachedNetworks() { return {}; }
    // Measured each time a survey starts: it may depend on what the system allows now.
    virtual ProbeCost costPerAddress() { return {}; }

    // The MAC only once the host is known to be there (an echo reply, or an ARP reply
    // during the wait); nothing once `stop` is requested. What every path asks after a ping.
    MacOutcome macIfPresent(const PingOutcome& ping, const QString& ip, const OwnIdentity& me,
                            const StopToken& stop);

protected:
    // startAddress for probes that can only block: probeAddress on one of `threads`,
    // made ready by prepareThreads, then `report`.
    void startOnThreads(QThreadPool& threads, const QString& ip, const OwnIdentity& me,
                        const StopToken& stop, const Report& report);
    // startPing likewise: ping and macIfPresent on one of `threads`, then `report`.
    void startPingOnThreads(QThreadPool& threads, const QString& ip, const OwnIdentity& me,
                            const StopToken& stop, const PingReport& report);
    static void prepareThreads(QThreadPool& threads);

    // probeAddress once the ping is over: its error, and the MAC only for a present host.
    void afterPing(AddressFindings& found, const PingOutcome& ping, const QString& ip,
                   const OwnIdentity& me, const StopToken& stop);
};
