#include "auxwin/Launcher.h"
#include "cli/CommandLineSurvey.h"
#include "cli/Interrupts.h"
#include "cli/SurveyCommand.h"
#include "probes/ProcessLimits.h"
#include "probes/SystemProbes.h"
#include "store/HistoryLog.h"
#include "store/ProgramFolders.h"
#include "window/FileDialogs.h"
#include "window/MessageBoxes.h"
#include "window/frmNetScp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QList>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

void describeProgram(QCoreApplication& app)
{
    app.setApplicationName(u"Netroscope"_s);
    app.setApplicationVersion(QString::number(NETROSCOPE_VERSION_MAJOR) + u'.' +
                              QString::number(NETROSCOPE_VERSION_MINOR));
}

void describeOptions(QCommandLineParser& parser)
{
    parser.addHelpOption();
    parser.addVersionOption();
}

// --help and --version answer on the terminal, so they must not need a display.
bool wantsTerminalAnswer(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

int answerOnTerminal(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    describeProgram(app);
    QCommandLineParser parser;
    describeOptions(parser);
    // Qt's own options (-platform and the like) are not known here; they change
    // nothing about the answer.
    parser.parse(app.arguments());
    if (parser.isSet(u"version"_s))
        parser.showVersion();
    // Only the help says where the log is: finding it runs a write test.
    parser.setApplicationDescription(
        u"IPv4 ネットワーク（/24）のホストを、名前・Ping 応答・MAC アドレスつきで一覧にします。\n"
        "Lists the hosts of an IPv4 network (/24) with their names, ping replies and MAC "
        "addresses.\n\n"_s +
        surveyCommandHelp() + u"\n履歴ファイル / history log: "_s + historyLogPath());
    parser.showHelp(0);
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
    describeProgram(app);
    if (!command.error.isEmpty()) {
        std::fputs(
            ("netroscope: " + command.error.toUtf8() + "\n詳しくは / see: netroscope --help\n")
                .constData(),
            stderr);
        return 2;
    }
    raiseOpenFileLimit();
    CommandLineServices services;
    services.probes = std::make_shared<SystemProbes>();
    services.historyLogPath = [] {
        return historyLogPath();
    };
    services.progress = standardErrorIsTerminal();
    return runSurveyCommand(command, services);
}

} // namespace

int main(int argc, char* argv[])
{
    if (wantsTerminalAnswer(argc, argv))
        return answerOnTerminal(argc, argv);
    {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        const SurveyCommand command = parseSurveyCommand(arguments);
        if (command.mode != SurveyCommand::Mode::Window || !command.error.isEmpty())
            return surveyFromCommandLine(argc, argv, command);
    }

    const std::unique_ptr<QApplication> app = openDisplay(argc, argv);
    describeProgram(*app);
    {
        QCommandLineParser parser;
        describeOptions(parser);
        parser.process(*app); // an unknown option ends the program with Qt's message
    }

    // The window speaks Japanese, so Qt's own buttons and dialogs should too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), u"qtbase"_s, u"_"_s,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    SystemMessageBoxes boxes;
    // Before any path is decided: finding the log's place writes a probe file.
    if (!frmNetScp::textCodecCheck(&boxes, nullptr))
        return 1;
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
    services.historyLogPath = historyLogPath();

    frmNetScp window(services);
    QApplication::setWindowIcon(window.windowIcon());
    QObject::connect(&window, &frmNetScp::loaded, &window, &QWidget::show);
    if (!window.Form_Load())
        return 1;
    return app->exec();
}
