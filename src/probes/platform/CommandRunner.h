#pragma once

#include "probes/channels/StopToken.h"
#include "probes/platform/PlatformProfile.h"

#include <QByteArray>

#include <chrono>
#include <memory>

class QProcess;

// The longest a console command may run. The tools we start end by themselves
// within a few seconds (one echo request, a table or adapter listing); one still
// running after this is hung and is killed.
inline constexpr std::chrono::milliseconds kCommandBound{15000};

// How often a waiting caller looks at its StopToken. The wait itself sleeps in
// the kernel between looks; it never spins.
inline constexpr std::chrono::milliseconds kStopCheckSlice{50};

// How one run of a console command ended.
struct CommandRun {
    enum class End {
        Finished,      // the command ran and ended by itself
        FailedToStart, // the program could not be started at all
        TimedOut,      // still running after the bound: killed
        Stopped,       // the caller asked to stop: killed (or never started)
    };
    End end = End::FailedToStart;
    QByteArray output; // what the command wrote to its standard output
    int exitCode = -1; // only meaningful when Finished; the probes do not use it

    bool finished() const { return end == End::Finished; }
};

// DOS_DOUKI: runs one command hidden, with its standard output captured through a
// pipe (no scratch file), and blocks only the calling thread until it has ended,
// the bound has passed or `stop` is requested. Standard input is empty and
// standard error is discarded, as the console redirection did. The child runs
// with LC_ALL=C so that its wording is the one our parsers read. No child
// outlives the call.
CommandRun DOS_DOUKI(const CommandLine& command, const StopToken& stop,
                     std::chrono::milliseconds bound = kCommandBound);

// DOS_DOUKI in two halves, so that the caller can do other work while the command
// runs: the constructor starts it, finish() waits as DOS_DOUKI does, the bound
// counted from the start. Both halves on the same thread. A command never finished
// is killed and reaped by the destructor.
class StartedCommand {
public:
    StartedCommand(const CommandLine& command, const StopToken& stop);
    ~StartedCommand();

    CommandRun finish(const StopToken& stop, std::chrono::milliseconds bound = kCommandBound);

private:
    std::unique_ptr<QProcess> m_process;
    CommandRun::End m_notStarted = CommandRun::End::FailedToStart;
    std::chrono::steady_clock::time_point m_started;
};
