#include "cli/CommandLineProgram.h"
#include "cli/SurveyCommand.h"
#include "window/WindowProgram.h"

#include <QString>
#include <QStringList>

namespace {

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char* argv[])
{
    // Every option, the window's included, is read here once, before anything starts.
    const SurveyCommand command = parseSurveyCommand(argumentsOf(argc, argv));
    if (command.mode == SurveyCommand::Mode::Window && command.error.isEmpty())
        return runWindowProgram(argc, argv);
    return runCommandLineProgram(argc, argv, command);
}
