#include "cli/CommandLineProgram.h"

#include "cli/CommandLineSurvey.h"
#include "probes/SystemProbes.h"
#include "store/HistoryLog.h"
#include "store/ProgramVersion.h"
#include "store/VendorRegistry.h"
#include "survey/Interrupts.h"
#include "survey/ProcessLimits.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

void printLine(std::FILE* stream, const QString& text)
{
    std::fputs((text + u'\n').toUtf8().constData(), stream);
}

// --help and --version answer on the terminal, so they must not need a display.
int answerOnTerminal(int argc, char* argv[], SurveyCommand::Mode mode)
{
    QCoreApplication app(argc, argv);
    describeProgram();
    if (mode == SurveyCommand::Mode::Version) {
        printLine(stdout, QCoreApplication::applicationName() + u' ' +
                              QCoreApplication::applicationVersion());
        return 0;
    }
    // Only the help says where the log is: finding it runs a write test.
    std::fputs(surveyCommandHelp(historyLogPath()).toUtf8().constData(), stdout);
    return 0;
}

// --survey and --resurvey run without any window or display.
int surveyFromCommandLine(int argc, char* argv[], const SurveyCommand& command)
{
    QCoreApplication app(argc, argv);
    describeProgram();
    raiseOpenFileLimit();
    CommandLineServices services;
    services.probes = std::make_shared<SystemProbes>();
    services.historyLogPath = [] {
        return historyLogPath();
    };
    services.vendors = &VendorRegistry::loadSystem;
    services.progress = standardErrorIsTerminal();
    return runSurveyCommand(command, services);
}

} // namespace

int runCommandLineProgram(int argc, char* argv[], const SurveyCommand& command)
{
    if (!command.error.isEmpty()) {
        printLine(stderr, u"netroscope: "_s + command.error);
        printLine(stderr, u"詳しくは / see: netroscope --help"_s);
        return 2;
    }
    switch (command.mode) {
    case SurveyCommand::Mode::Help:
    case SurveyCommand::Mode::Version:
        return answerOnTerminal(argc, argv, command.mode);
    case SurveyCommand::Mode::Survey:
    case SurveyCommand::Mode::Resurvey:
        return surveyFromCommandLine(argc, argv, command);
    case SurveyCommand::Mode::Window:
        break;
    }
    // The window is main's to open, never the command line's.
    return 2;
}
