#pragma once

#include "probes/StopToken.h"

#include <QString>

#include <functional>

// What the PC knows of itself, learnt once at start-up.
struct OwnIdentity {
    QString pcName; // strPcName
    QString myIp;   // strMyIp, empty when the name does not resolve
    QString myMac;  // strMyMac
};

// subPing's answer. `error` is the failure that the window reports with the box
// "何かエラーになりました。" titled "エラー subPing"; `answered` is then false.
struct PingOutcome {
    bool answered = false;
    bool error = false;
    // No echo reply came, but an ARP reply confirmed the address during the wait: a
    // host whose firewall drops echo requests. Its MAC is as good as a replying host's.
    bool present = false;
    // No echo reply came and the neighbour table could not be read: whether the host
    // is there is not known.
    bool neighboursUnread = false;
};

// subMacGet's answer. `error` is reported with the box titled "エラー subMacGet";
// `mac` is then empty.
struct MacOutcome {
    QString mac;
    bool error = false;
};

// What the survey learns of one address.
struct AddressFindings {
    QString host;
    QString mac;
    bool pingError = false;
    bool macError = false;
    bool neighboursUnread = false; // as PingOutcome's
};

// What one address costs while its probes run, for the survey to keep within the
// process's limits: descriptors held at the same time, and threads plus child
// processes (both count against the limit of tasks).
struct ProbeCost {
    int descriptors = 10;
    int tasks = 2;
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
    // probeAddress without holding the caller: returns at once, and `report` follows
    // once, on any thread, with the same findings (nothing found for a stopped
    // address). False when these probes cannot do that for `ip`: the caller then runs
    // probeAddress on a thread of its own.
    using Report = std::function<void(const AddressFindings&)>;
    virtual bool startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                              const Report& report);
    // Measured each time a survey starts: it may depend on what the system allows now.
    virtual ProbeCost costPerAddress() { return {}; }

protected:
    // probeAddress once the ping is over: its error, and the MAC only for a present host.
    void afterPing(AddressFindings& found, const PingOutcome& ping, const QString& ip,
                   const OwnIdentity& me, const StopToken& stop);
};
