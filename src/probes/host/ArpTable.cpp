#include "probes/host/ArpTable.h"

#include "probes/channels/Requests.h"
#include "probes/host/PingProbe.h"
#include "probes/packets/ProbeText.h"
#include "probes/platform/CommandRunner.h"
#include "probes/platform/PlatformProfile.h"

#include <QFile>

namespace {

// Far more than any ARP table we will meet; a file that keeps growing is not one.
constexpr qint64 kMaxTableBytes = 4 * 1024 * 1024;

} // namespace

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

    const ArpSource source = profile.console().arpSource();
    if (source.neighbourTable) {
        // Only the text the table's own listing would show, as with a listing read as text.
        const std::optional<quint32> address = plainDottedAddress(profile, ip);
        if (!address || stop.stopRequested())
            return outcome;
        const NeighbourState entry =
            profile.lan().neighbour(*address, std::chrono::steady_clock::now());
        const ArpMatch match = macOfEntry(entry);
        outcome.error = entry.unread || match.malformed;
        outcome.mac = match.mac;
        return outcome;
    }
    QByteArray listing;
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

ArpMatch macOfEntry(const NeighbourState& entry)
{
    using Kind = NeighbourState::Kind;
    ArpMatch match;
    const bool resolved = entry.kind == Kind::Reachable || entry.kind == Kind::Stale ||
                          entry.kind == Kind::Delay || entry.kind == Kind::Probe ||
                          entry.kind == Kind::Permanent;
    if (!resolved || entry.linkAddress.isEmpty())
        return match;
    if (entry.linkAddress.size() != 6) {
        match.malformed = true;
        return match;
    }
    const QString mac = QString::fromLatin1(entry.linkAddress.toHex('-').toUpper());
    if (mac != ProbeText::kZeroMac)
        match.mac = mac;
    return match;
}
