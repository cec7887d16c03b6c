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
    afterPing(found, ping(ip, stop), ip, me, stop);
    return found;
}

bool NetworkProbes::startAddress(const QString&, const OwnIdentity&, const StopToken&,
                                 const Report&)
{
    return false;
}

void NetworkProbes::afterPing(AddressFindings& found, const PingOutcome& ping, const QString& ip,
                              const OwnIdentity& me, const StopToken& stop)
{
    found.pingError = ping.error;
    found.neighboursUnread = ping.neighboursUnread;
    if ((ping.answered || ping.present) && !stop.stopRequested()) {
        const MacOutcome mac = macOf(ip, me, stop);
        found.mac = mac.mac;
        found.macError = mac.error;
    }
}
