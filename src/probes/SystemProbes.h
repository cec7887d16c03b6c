#pragma once

#include "probes/NetworkProbes.h"

#include <memory>
#include <mutex>

class AddressSweep;
class PlatformProfile;

// The probes of the real system, over the free functions of this folder. Every call
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
    bool startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                      const Report& report) override;
    ProbeCost costPerAddress() override;

private:
    const PlatformProfile& m_profile;
    std::mutex m_sweepLock;
    std::shared_ptr<AddressSweep> m_sweep;
};
