#include "probes/NetworkProbes.h"

AddressFindings NetworkProbes::probeAddress(const QString& ip, const OwnIdentity& me,
                                            const StopToken& stop)
{
    AddressFindings found;
    if (stop.stopRequested())
        return found;
    found.host = ipToHost(ip);
    if (stop.stopRequested())
        return found;
    const PingOutcome ping = this->ping(ip, stop);
    found.pingError = ping.error;
    if (ping.answered && !stop.stopRequested()) {
        const MacOutcome mac = macOf(ip, me, stop);
        found.mac = mac.mac;
        found.macError = mac.error;
    }
    return found;
}
