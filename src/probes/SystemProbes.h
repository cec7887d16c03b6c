#pragma once

#include "probes/NetworkProbes.h"

#include <chrono>
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
    AddressFindings probeAddress(const QString& ip, const OwnIdentity& me,
                                 const StopToken& stop) override;
    void startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                      const Report& report) override;
    ProbeCost costPerAddress() override;

private:
    // The name the host at `ip` gives itself on the LAN, asked only where `ping` found
    // it there.
    QString lanName(const QString& ip, const PingOutcome& ping,
                    std::chrono::steady_clock::time_point pingDeadline,
                    const StopToken& stop) const;

    const PlatformProfile& m_profile;
    std::mutex m_sweepLock;
    std::shared_ptr<AddressSweep> m_sweep;
    // For an address text the sweep does not take (one read from a file). Last, so
    // that its probes end before anything they use goes.
    QThreadPool m_threads;
};
