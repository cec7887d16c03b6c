#pragma once

#include "probes/NetworkProbes.h"

#include <memory>
#include <mutex>

class AddressSweep;
class PlatformProfile;

// The probes of the real system, over the functions of the rooms below. Every call
// may run on any thread; a survey's addresses share one waiter, made on first use.
class SystemProbes final : public NetworkProbes {
public:
    SystemProbes();
    // For tests: the probes of another profile (stand-in tools).
    explicit SystemProbes(const PlatformProfile& profile);
    ~SystemProbes() override;

    bool toolsPresent() override;
    OwnIdentity ownIdentity() override;
    QString hostToIp(const QString& name) override;
    QString ipToHost(const QString& ip) override;
    PingOutcome ping(const QString& ip, const StopToken& stop) override;
    MacOutcome macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop) override;
    void startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                      const Report& report) override;
    void startPing(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                   const PingReport& report) override;
    QList<AttachedNetwork> attachedNetworks() override;
    ProbeCost costPerAddress() override;

private:
    // The one waiter for every address the program probes itself, made on first use.
    std::shared_ptr<AddressSweep> sweep();

    const PlatformProfile& m_profile;
    std::mutex m_sweepLock;
    std::shared_ptr<AddressSweep> m_sweep;
    // For an address text the sweep does not take (one read from a file), probed by the
    // console ping alone. Last, so that its probes end before anything they use goes.
    QThreadPool m_threads;
};
