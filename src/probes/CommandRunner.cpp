#include "probes/CommandRunner.h"

#include <QDeadlineTimer>
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
    CommandRun run;
    if (stop.stopRequested()) {
        run.end = CommandRun::End::Stopped;
        return run;
    }
    if (command.program.isEmpty())
        return run;

    QProcess process;
    process.setProcessEnvironment(childEnvironment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(command.program, command.arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return run; // FailedToStart

    const QDeadlineTimer deadline(bound);
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
        if (deadline.hasExpired()) {
            killAndReap(process);
            run.end = CommandRun::End::TimedOut;
            return run;
        }
    }
    run.output = process.readAllStandardOutput();
    run.exitCode = process.exitCode();
    run.end = CommandRun::End::Finished;
    return run;
}
