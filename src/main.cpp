#include "auxwin/Launcher.h"
#include "cli/CommandLineSurvey.h"
#include "cli/SurveyCommand.h"
#include "probes/SystemProbes.h"
#include "store/HistoryLog.h"
#include "store/LogKeeper.h"
#include "store/ProgramFolders.h"
#include "store/ProgramVersion.h"
#include "store/VendorRegistry.h"
#include "survey/Interrupts.h"
#include "survey/ProcessLimits.h"
#include "window/FileDialogs.h"
#include "window/LogClaim.h"
#include "window/MessageBoxes.h"
#include "window/RunningWindow.h"
#include "window/frmNetScp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QList>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

void describeProgram()
{
    QCoreApplication::setApplicationName(u"Netroscope"_s);
    QCoreApplication::setApplicationVersion(programVersion());
}

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

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

// Without a display Qt ends the program with an abort and several lines about
// plug-ins. Its messages are held back while the application object is made; a
// fatal one becomes one line and a plain exit status.
QList<std::pair<QtMsgType, QString>> g_heldMessages;
QtMessageHandler g_defaultHandler = nullptr;

void holdWhileOpeningDisplay(QtMsgType type, const QMessageLogContext& context,
                             const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs("netroscope: グラフィカルなデスクトップが必要です (a graphical desktop is "
                   "needed: no display could be opened)\n",
                   stderr);
        std::_Exit(EXIT_FAILURE);
    }
    Q_UNUSED(context);
    g_heldMessages.append({type, message});
}

std::unique_ptr<QApplication> openDisplay(int& argc, char* argv[])
{
    g_defaultHandler = qInstallMessageHandler(holdWhileOpeningDisplay);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_defaultHandler);
    for (const auto& [type, message] : std::as_const(g_heldMessages)) {
        if (type == QtWarningMsg || type == QtCriticalMsg)
            qWarning().noquote() << message;
    }
    g_heldMessages.clear();
    return app;
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

int openWindow(int argc, char* argv[])
{
    // Qt takes its own options (-platform, -style, ...) out of the arguments here.
    const std::unique_ptr<QApplication> app = openDisplay(argc, argv);
    describeProgram();

    // The window speaks Japanese, so Qt's own buttons and dialogs should too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), u"qtbase"_s, u"_"_s,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    SystemMessageBoxes boxes;
    // Before any path is decided: finding the log's place writes a probe file.
    if (!frmNetScp::textCodecCheck(&boxes, nullptr))
        return 1;
    const auto log = std::make_shared<LogKeeper>(historyLogPath());
    if (!claimTheLog(*log, boxes))
        return 0;
    RunningWindow running(log->serverName());
    if (log->isLocked() && !running.listen())
        printLine(stderr, u"netroscope: 次の起動からこのウィンドウを呼び出せません / a later "
                          u"start cannot bring this window forward: "_s +
                              running.errorString());

    SystemFileDialogs dialogs;
    DesktopLauncher launcher;
    raiseOpenFileLimit();
    WindowServices services;
    services.probes = std::make_shared<SystemProbes>();
    services.boxes = &boxes;
    services.dialogs = &dialogs;
    services.launcher = &launcher;
    services.programDirectory = QCoreApplication::applicationDirPath();
    services.helpDirectories = ProgramFolders::helpDirs(services.programDirectory);
    services.historyLog = log;
    services.vendors = &VendorRegistry::loadSystem;

    frmNetScp window(services);
    QApplication::setWindowIcon(window.windowIcon());
    QObject::connect(&window, &frmNetScp::loaded, &window, [&] {
        window.show();
        running.setReady();
    });
    QObject::connect(&running, &RunningWindow::comeForward, &window, [&] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    // SIGTERM (a shut-down without a session manager, `kill`) ends the window as a
    // session's end does: the list is saved first.
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &window, [&] {
        window.sessionEnding();
        QCoreApplication::quit();
    });
    if (!window.Form_Load())
        return 1;
    return app->exec();
}

} // namespace

int main(int argc, char* argv[])
{
    // Every option, the window's included, is read here once, before anything starts.
    const SurveyCommand command = parseSurveyCommand(argumentsOf(argc, argv));
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
    return openWindow(argc, argv);
}
