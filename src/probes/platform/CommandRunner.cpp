#include "probes/platform/CommandRunner.h"

#include <QProcess>
#include <QProcessEnvironment>

using namespace Qt::Literals::StringLiterals;

namespace {

QProcessEnvironment childEnvironment()
{
    auto environment = QProcessEnvironment::systemEnvironment();
    // iputils ships translated messages; under a Japanese locale its reply line
    // would no longer read as one. LANGUAGE would outrank LC_ALL for gettext.
    environment.insert(u"LC_ALL"_s, u"C"_s);
    environment.remove(u"LANGUAGE"_s);
    return environment;
}

void killAndReap(QProcess& process)
{
    process.kill();
    process.waitForFinished(-1);
}

} // namespace

CommandRun DOS_DOUKI(const CommandLine& command, const StopToken& stop,
                     std::chrono::milliseconds bound)
{
    return StartedCommand(command, stop).finish(stop, bound);
}

StartedCommand::StartedCommand(const CommandLine& command, const StopToken& stop)
    : m_started(std::chrono::steady_clock::now())
{
    if (stop.stopRequested()) {
        m_notStarted = CommandRun::End::Stopped;
        return;
    }
    if (command.program.isEmpty())
        return;

    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(childEnvironment());
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(command.program, command.arguments, QIODevice::ReadOnly);
    if (process->waitForStarted(-1))
        m_process = std::move(process);
}

StartedCommand::~StartedCommand()
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        killAndReap(*m_process);
}

CommandRun StartedCommand::finish(const StopToken& stop, std::chrono::milliseconds bound)
{
    CommandRun run;
    if (!m_process) {
        run.end = m_notStarted;
        return run;
    }
    QProcess& process = *m_process;
    const auto deadline = m_started + bound;
    for (;;) {
        if (process.waitForFinished(int(kStopCheckSlice.count())))
            break;
        if (process.state() == QProcess::NotRunning)
            break;
        if (stop.stopRequested()) {
            killAndReap(process);
            run.end = CommandRun::End::Stopped;
            return run;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            killAndReap(process);
            run.end = CommandRun::End::TimedOut;
            return run;
        }
    }
    run.output = process.readAllStandardOutput();
    run.exitCode = process.exitCode();
    run.end = CommandRun::End::Finished;
    m_process.reset();
    return run;
}
