#pragma once

#include "ScriptedDialogs.h"

#include "store/LogKeeper.h"
#include "store/VendorRegistry.h"
#include "survey/SurveyLists.h"
#include "window/frmNetScp.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One main window with the given probes, scripted boxes, dialogs and launcher, and
// its program folder (with the log) in a folder of its own.
template <typename Probes> struct WindowHarness {
    QTemporaryDir dir;
    std::shared_ptr<Probes> probes = std::make_shared<Probes>();
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    RecordingLauncher launcher;
    std::unique_ptr<frmNetScp> window;
    std::function<VendorRegistry()> vendors; // none: no vendor names

    WindowHarness() = default;
    explicit WindowHarness(const QString& dirTemplate)
        : dir(dirTemplate)
    {}

    QString logPath() const { return dir.filePath(QStringLiteral("Netroscope.log")); }

    frmNetScp& create()
    {
        WindowServices services;
        services.probes = probes;
        services.boxes = &boxes;
        services.dialogs = &dialogs;
        services.launcher = &launcher;
        services.programDirectory = dir.path();
        services.helpDirectories = {dir.path(), dir.filePath(QStringLiteral("share"))};
        services.historyLog = std::make_shared<LogKeeper>(logPath());
        services.vendors = vendors;
        window = std::make_unique<frmNetScp>(services);
        return *window;
    }

    // Start-up up to `loaded`, the window not shown; false when it must not be.
    bool start(int timeoutMs = 5000)
    {
        frmNetScp& w = create();
        QSignalSpy loaded(&w, &frmNetScp::loaded);
        return w.Form_Load() && loaded.wait(timeoutMs);
    }

    // Start-up as the program runs it, the window then shown.
    bool load(int timeoutMs = 5000)
    {
        if (!start(timeoutMs))
            return false;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    // Clicks a survey button (0 new, 1 again); true when the run has started. A range
    // the boxes refuse shows here at once rather than as a survey that never ends.
    bool startSurvey(int index)
    {
        window->cmdStart[index]->click();
        return window->cmdCancel->isEnabled();
    }

    // Chooses `path` for an import, answers Yes, and waits for the read to end.
    bool importFile(const QString& path, int timeoutMs = 10000)
    {
        boxes.answers.append(MessageBoxes::Yes);
        dialogs.paths = {path};
        QSignalSpy done(window.get(), &frmNetScp::importFinished);
        window->mnuInport->trigger();
        return done.wait(timeoutMs);
    }

    QStringList dat2() const { return window->lists().lstDat2(); }
};
