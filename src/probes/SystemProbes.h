#pragma once

#include "probes/NetworkProbes.h"

class PlatformProfile;

// The probes of the real system, over the free functions of this folder. Holds no
// state of its own; every call may run on any thread.
class SystemProbes final : public NetworkProbes {
public:
    SystemProbes();
    // For tests: the probes of another profile (stand-in tools).
    explicit SystemProbes(const PlatformProfile& profile);

    bool toolsPresent() override;
    OwnIdentity ownIdentity() override;
    QString hostToIp(const QString& name) override;
    QString ipToHost(const QString& ip) override;
    PingOutcome ping(const QString& ip, const StopToken& stop) override;
    MacOutcome macOf(const QString& ip, const OwnIdentity& me, const StopToken& stop) override;
    AddressFindings probeAddress(const QString& ip, const OwnIdentity& me,
                                 const StopToken& stop) override;
    ProbeCost costPerAddress() override;

private:
    const PlatformProfile& m_profile;
};
