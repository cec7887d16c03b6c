#include "probes/PingProbe.h"

#include "probes/PlatformProfile.h"
#include "probes/ProbeText.h"

#include <QHostAddress>

namespace {

// The address when `ip` is written exactly as the console ping would print it in
// its reply, so that both ways give the same answer for the same text.
std::optional<quint32> plainDottedAddress(const PlatformProfile& profile, const QString& ip)
{
    const std::optional<quint32> address = profile.parseAddress(ip);
    if (!address)
        return std::nullopt;
    if (QHostAddress(*address).toString() != ip)
        return std::nullopt;
    return address;
}

} // namespace

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
{
    if (!ProbeText::isSafeOperand(ip) || stop.stopRequested())
        return;
    if (const std::optional<quint32> address = plainDottedAddress(profile, ip))
        m_echo = profile.sendEcho(*address);
    if (!m_echo)
        m_command.emplace(profile.pingCommand(ip), stop);
}

StartedPing::~StartedPing() = default;

PingOutcome StartedPing::finish(const StopToken& stop)
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
        outcome.answered = m_profile.pingAnswered(m_profile.decodeOutput(run.output), m_ip);
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
