#include "probes/host/PingProbe.h"

#include "probes/packets/ProbeText.h"
#include "probes/platform/PlatformProfile.h"

#include <QHostAddress>

#include <algorithm>

std::optional<quint32> plainDottedAddress(const PlatformProfile& profile, const QString& ip)
{
    const std::optional<quint32> address = profile.names().parseAddress(ip);
    if (!address)
        return std::nullopt;
    if (QHostAddress(*address).toString() != ip)
        return std::nullopt;
    return address;
}

void reconfirmUnconfirmed(const PlatformProfile& profile, quint32 address,
                          std::chrono::steady_clock::time_point began,
                          std::chrono::steady_clock::time_point at)
{
    const NeighbourState known = profile.lan().neighbour(address, at - kSharedReading);
    if (known.kind != NeighbourState::Kind::None && !confirmedSince(known, began))
        profile.lan().reconfirmNeighbour(address, known);
}

std::chrono::steady_clock::time_point
lanQuestionDeadline(std::chrono::steady_clock::time_point pingDeadline,
                    std::chrono::steady_clock::time_point asked)
{
    return std::max(pingDeadline, asked + kLateQuestionWait);
}

PingOutcome subPing(const PlatformProfile& profile, const QString& ip, const StopToken& stop)
{
    PingOutcome outcome;
    if (!ProbeText::isSafeOperand(ip) || stop.stopRequested())
        return outcome;
    const auto began = std::chrono::steady_clock::now();
    const CommandRun run = DOS_DOUKI(profile.console().pingCommand(ip), stop);
    switch (run.end) {
    case CommandRun::End::Finished:
        outcome.answered =
            profile.console().pingAnswered(profile.console().decodeOutput(run.output), ip);
        break;
    case CommandRun::End::FailedToStart:
        outcome.error = true;
        return outcome;
    case CommandRun::End::TimedOut:
    case CommandRun::End::Stopped:
        break;
    }
    const std::optional<quint32> address = plainDottedAddress(profile, ip);
    if (!outcome.answered && address && !stop.stopRequested()) {
        const NeighbourState entry =
            profile.lan().neighbour(*address, std::chrono::steady_clock::now());
        outcome.present = confirmedSince(entry, began);
        outcome.neighboursUnread = entry.unread;
    }
    return outcome;
}
