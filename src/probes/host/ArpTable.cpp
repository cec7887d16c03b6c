#include "probes/host/ArpTable.h"

#include "probes/packets/ProbeText.h"
#include "probes/platform/CommandRunner.h"
#include "probes/platform/PlatformProfile.h"

#include <QFile>

namespace {

// Far more than any ARP table we will meet; a file that keeps growing is not one.
constexpr qint64 kMaxTableBytes = 4 * 1024 * 1024;

} // namespace

MacOutcome subMacGet(const QString& ip, const OwnIdentity& me, const StopToken& stop)
{
    return subMacGet(PlatformProfile::system(), ip, me, stop);
}

MacOutcome subMacGet(const PlatformProfile& profile, const QString& ip, const OwnIdentity& me,
                     const StopToken& stop)
{
    MacOutcome outcome;
    if (!me.myIp.isEmpty() && ip == me.myIp) {
        outcome.mac = me.myMac;
        return outcome;
    }
    if (!ProbeText::isSafeOperand(ip))
        return outcome;

    QByteArray listing;
    const ArpSource source = profile.console().arpSource();
    if (!source.file.isEmpty()) {
        if (stop.stopRequested())
            return outcome;
        QFile table(source.file);
        if (!table.open(QIODevice::ReadOnly)) {
            outcome.error = true;
            return outcome;
        }
        listing = table.read(kMaxTableBytes);
    } else {
        const CommandRun run = DOS_DOUKI(source.command, stop);
        if (run.end == CommandRun::End::FailedToStart)
            outcome.error = true;
        if (!run.finished())
            return outcome;
        listing = run.output;
    }

    const ArpMatch match = profile.console().arpMac(profile.console().decodeOutput(listing), ip);
    if (match.malformed)
        outcome.error = true;
    else
        outcome.mac = match.mac;
    return outcome;
}
