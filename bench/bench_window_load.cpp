// Starts the main window on a 100,000-row history log and measures how long the list
// takes to appear, the longest the event loop went without a turn meanwhile, and
// the cost of scrolling to the end and of appending rows to such a list.
// Usage: QT_QPA_PLATFORM=offscreen bench_window_load [rows]
#include "survey/SurveyLists.h"
#include "window/FileDialogs.h"
#include "window/MessageBoxes.h"
#include "window/frmNetScp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Answers at once: the bench measures the window and the log, not the network.
class InstantProbes : public NetworkProbes {
public:
    bool toolsPresent() override { return true; }
    OwnIdentity ownIdentity() override
    {
        return {QStringLiteral("bench"), QStringLiteral("198.18.0.10"),
                QStringLiteral("02-00-00-00-00-0A")};
    }
    QString hostToIp(const QString&) override { return {}; }
    QString ipToHost(const QString&) override { return {}; }
    PingOutcome ping(const QString&, const StopToken&) override { return {}; }
    MacOutcome macOf(const QString&, const OwnIdentity&, const StopToken&) override { return {}; }
};

class NoBoxes : public MessageBoxes {
public:
    int show(QWidget*, const QString&, const QString&, int) override { return Ok; }
};

class NoDialogs : public FileDialogs {
public:
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&,
                         const QString&) override
    {
        return {};
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
};

bool writeLog(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < rows; ++i) {
        const QByteArray host = i % 3 == 0 ? QByteArray("\x8C\x6F\x97\x9D\x95\x94") // 経理部
                                           : "ws-" + QByteArray::number(i) + ".lab.example";
        file.write("198.18." + QByteArray::number(i / 254 % 256) + "." +
                   QByteArray::number(i % 254 + 1) + "," + host + ",02-00-00-00-00-" +
                   QByteArray::number(i % 256, 16).rightJustified(2, '0').toUpper() + "\r\n");
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("Netroscope.log"));
    if (!writeLog(log, rows))
        return 1;

    NoBoxes boxes;
    NoDialogs dialogs;
    WindowServices services;
    services.probes = std::make_shared<InstantProbes>();
    services.boxes = &boxes;
    services.dialogs = &dialogs;
    services.programDirectory = dir.path();
    services.historyLogPath = log;
    frmNetScp window(services);

    // A timer that should tick every 5 ms: the longest gap between two ticks is the
    // longest the window could not have answered a click.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });

    qint64 loadedAt = 0;
    QObject::connect(&window, &frmNetScp::loaded, [&] {
        loadedAt = clock.elapsed();
        window.show();
        QTimer::singleShot(50, &app, &QCoreApplication::quit);
    });
    clock.start();
    ticker.start(5);
    if (!window.Form_Load())
        return 1;
    app.exec();
    const qint64 gapDuringLoad = longestGap;

    clock.restart();
    window.lstData->scrollToBottom();
    window.lstData->viewport()->repaint();
    const qint64 scrolled = clock.elapsed();

    clock.restart();
    for (int i = 0; i < 1000; ++i)
        window.lists().append(QStringLiteral("198.18.0.1"), QStringLiteral("h"), QString());
    const qint64 appended = clock.nsecsElapsed() / 1000;

    std::printf("rows %d: list shown after %lld ms; longest event-loop gap %lld ms; "
                "scroll to end + repaint %lld ms; 1000 appends %lld us\n",
                window.lists().entryCount() - 1000, loadedAt, gapDuringLoad, scrolled, appended);
    return 0;
}
