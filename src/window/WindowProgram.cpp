#include "window/WindowProgram.h"

#include "auxwin/Launcher.h"
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

} // namespace

int runWindowProgram(int argc, char* argv[])
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
        std::fputs(u"netroscope: 次の起動からこのウィンドウを呼び出せません / a later start "
                   u"cannot bring this window forward: %1\n"_s.arg(running.errorString())
                       .toUtf8()
                       .constData(),
                   stderr);

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
