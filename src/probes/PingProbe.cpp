#include "probes/PingProbe.h"

#include "probes/CommandRunner.h"
#include "probes/PlatformProfile.h"
#include "probes/ProbeText.h"

PingOutcome subPing(const QString& ip, const StopToken& stop)
{
    return subPing(PlatformProfile::system(), ip, stop);
}

PingOutcome subPing(const PlatformProfile& profile, const QString& ip, const StopToken& stop)
{
    PingOutcome outcome;
    if (!ProbeText::isSafeOperand(ip))
        return outcome;

    const CommandRun run = DOS_DOUKI(profile.pingCommand(ip), stop);
    switch (run.end) {
    case CommandRun::End::Finished:
        outcome.answered = profile.pingAnswered(profile.decodeOutput(run.output), ip);
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
