// Starts the main window on a 100,000-row history log and measures how long the list
// takes to appear, the longest the event loop went without a turn meanwhile, and
// the cost of scrolling to the end and of appending rows to such a list.
// Usage: QT_QPA_PLATFORM=offscreen bench_window_load [rows]
//
// With --survey: a whole new survey of x.x.x.1-254 through the window, and the
// longest the event loop went without a turn during it. Inside the network lab
// (tests/lab/netlab.sh run ...) with the system's own probes; elsewhere with probes
// that answer at once for every address, the most rows per second the window can
// be asked to show.
#include "probes/SystemProbes.h"
#include "store/LogKeeper.h"
#include "survey/ProcessLimits.h"
#include "survey/SurveyLists.h"
#include "window/FileDialogs.h"
#include "window/MessageBoxes.h"
#include "window/frmNetScp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace Qt::Literals::StringLiterals;

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
    QString ipToHost(const QString& ip) override { return u"ws-"_s + ip.section(u'.', 3); }
    PingOutcome ping(const QString&, const StopToken&) override { return {true, false}; }
    MacOutcome macOf(const QString&, const OwnIdentity&, const StopToken&) override
    {
        return {u"02-00-00-00-00-01"_s, false};
    }
    void startAddress(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                      const Report& report) override
    {
        report(probeAddress(ip, me, stop));
    }
    void startPing(const QString& ip, const OwnIdentity& me, const StopToken& stop,
                   const PingReport& report) override
    {
        const PingOutcome answered = ping(ip, stop);
        report({answered, macIfPresent(answered, ip, me, stop)});
    }
};

class NoBoxes : public MessageBoxes {
public:
    Answer show(QWidget*, const QString&, const QString&, Style) override { return Ok; }
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

// A timer that should tick every 5 ms: the longest gap between two ticks is the
// longest the window could not have answered a click.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_ticker.start(5);
    }
    qint64 longestGap() const { return m_longest; }
    qint64 elapsed() const { return m_clock.elapsed(); }

private:
    QElapsedTimer m_clock;
    QTimer m_ticker;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

int surveyThroughTheWindow(QApplication& app, const QString& directory)
{
    const bool inLab = !qEnvironmentVariable("NETLAB_PREFIX").isEmpty();
    NoBoxes boxes;
    NoDialogs dialogs;
    WindowServices services;
    if (inLab)
        services.probes = std::make_shared<SystemProbes>();
    else
        services.probes = std::make_shared<InstantProbes>();
    services.boxes = &boxes;
    services.dialogs = &dialogs;
    services.programDirectory = directory;
    services.historyLog = std::make_shared<LogKeeper>(directory + u"/Netroscope.log"_s);
    frmNetScp window(services);
    if (!window.Form_Load())
        return 1;
    window.show();
    window.txtIP[3]->setText(u"1"_s);
    window.txtIP[7]->setText(u"254"_s);

    qint64 tookMs = 0;
    std::unique_ptr<StallMeter> meter;
    QObject::connect(&window, &frmNetScp::surveyFinished, [&] {
        tookMs = meter->elapsed();
        QTimer::singleShot(20, &app, &QCoreApplication::quit);
    });
    QTimer::singleShot(100, [&] {
        meter = std::make_unique<StallMeter>();
        window.cmdStart[0]->click();
    });
    app.exec();
    std::printf("survey of %s.1-254 through the window (%s): %lld ms for %d rows; longest "
                "event-loop gap %lld ms\n",
                qPrintable(window.txtIP[0]->text() + u'.' + window.txtIP[1]->text() + u'.' +
                           window.txtIP[2]->text()),
                inLab ? "lab, system probes" : "probes that answer at once", tookMs,
                window.lists().entryCount(), meter->longestGap());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFileLimit();
    QApplication app(argc, argv);
    if (app.arguments().value(1) == u"--survey"_s) {
        QTemporaryDir dir;
        return surveyThroughTheWindow(app, dir.path());
    }
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
    services.historyLog = std::make_shared<LogKeeper>(log);
    frmNetScp window(services);

    StallMeter meter;
    qint64 loadedAt = 0;
    QObject::connect(&window, &frmNetScp::loaded, [&] {
        loadedAt = meter.elapsed();
        window.show();
        QTimer::singleShot(50, &app, &QCoreApplication::quit);
    });
    if (!window.Form_Load())
        return 1;
    app.exec();
    const qint64 gapDuringLoad = meter.longestGap();

    QElapsedTimer clock;
    clock.start();
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
