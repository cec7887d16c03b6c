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

PingOutcome subPing(const QString& ip, const StopToken& stop)
{
    return subPing(PlatformProfile::system(), ip, stop);
}

PingOutcome subPing(const PlatformProfile& profile, const QString& ip, const StopToken& stop)
{
    return StartedPing(profile, ip, stop).finish(stop);
}

StartedPing::StartedPing(const PlatformProfile& profile, const QString& ip, const StopToken& stop)
    : m_profile(profile)
    , m_ip(ip)
    , m_began(std::chrono::steady_clock::now())
    , m_deadline(m_began + std::chrono::seconds(kPingWaitSeconds))
{
    if (!ProbeText::isSafeOperand(ip) || stop.stopRequested())
        return;
    m_address = plainDottedAddress(profile, ip);
    if (m_address) {
        reconfirmUnconfirmed(profile, *m_address, m_began, m_began);
        m_echo = profile.lan().sendEcho(*m_address);
    }
    if (!m_echo)
        m_command.emplace(profile.console().pingCommand(ip), stop);
}

StartedPing::~StartedPing() = default;

PingOutcome StartedPing::finish(const StopToken& stop)
{
    PingOutcome outcome = awaitReply(stop);
    if (!outcome.answered && !outcome.error && m_address && !stop.stopRequested()) {
        const NeighbourState entry =
            m_profile.lan().neighbour(*m_address, std::chrono::steady_clock::now());
        outcome.present = confirmedSince(entry, m_began);
        outcome.neighboursUnread = entry.unread;
    }
    return outcome;
}

PingOutcome StartedPing::awaitReply(const StopToken& stop)
{
    PingOutcome outcome;
    if (m_echo) {
        outcome.answered = m_echo->waitForReply(stop);
        m_echo.reset();
        return outcome;
    }
    if (!m_command)
        return outcome;
    const CommandRun run = m_command->finish(stop);
    m_command.reset();
    switch (run.end) {
    case CommandRun::End::Finished:
        outcome.answered =
            m_profile.console().pingAnswered(m_profile.console().decodeOutput(run.output), m_ip);
        break;
    case CommandRun::End::FailedToStart:
        outcome.error = true;
        break;
    case CommandRun::End::TimedOut:
    case CommandRun::End::Stopped:
        break;
    }
    return outcome;
}
