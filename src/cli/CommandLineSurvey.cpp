#include "cli/CommandLineSurvey.h"

#include "cli/Interrupts.h"
#include "probes/NetworkProbes.h"
#include "store/CsvExport.h"
#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "survey/OctetValue.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"
#include "text/Cp932.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

void say(std::FILE* stream, const QString& line)
{
    std::fputs((u"netroscope: "_s + line + u'\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

// "rows done / total, elapsed time, live hosts found", redrawn in place.
class ProgressLine {
public:
    ProgressLine(std::FILE* stream, bool shown, int total)
        : m_stream(stream)
        , m_shown(shown)
        , m_total(total)
    {
        m_clock.start();
    }

    void rowAdded(const QString& dataRow)
    {
        ++m_done;
        if (!SplitCsvRow(dataRow).mac.isEmpty())
            ++m_live;
        if (!m_shown)
            return;
        const QString text = u"\r調査中 / surveying %1/%2  %3 s  応答 / live %4 "_s.arg(m_done)
                                 .arg(m_total)
                                 .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 1)
                                 .arg(m_live);
        std::fputs(text.toUtf8().constData(), m_stream);
        std::fflush(m_stream);
        m_drawn = true;
    }

    void clear()
    {
        if (m_drawn)
            std::fputs("\r\x1b[K", m_stream);
        m_drawn = false;
    }

private:
    std::FILE* m_stream;
    bool m_shown;
    int m_total;
    int m_done = 0;
    int m_live = 0;
    bool m_drawn = false;
    QElapsedTimer m_clock;
};

// The folder an output goes to exists and takes files: found out before the survey
// rather than after it.
bool folderTakesFiles(const QString& path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    return folder.isDir() && folder.isWritable();
}

} // namespace

int runSurveyCommand(const SurveyCommand& command, const CommandLineServices& services)
{
    std::FILE* err = services.err;
    if (!Cp932::available()) {
        say(err, u"コードページ 932（シフトJIS）の文字変換が使えません / the code page 932 "
                 u"converter is missing"_s);
        return 1;
    }
    if (!services.probes->toolsPresent()) {
        say(err, u"必要なツール（ping、ip）がありません / the tools the probes need (ping, ip) "
                 u"are missing"_s);
        return 1;
    }

    SurveyLists lists;
    QString output = command.csvFile;
    if (command.mode == SurveyCommand::Mode::Resurvey) {
        const LoadedList loaded = subListLoad(command.resurveyFile);
        if (!loaded.opened) {
            say(err, u"ファイルを読み込めませんでした / could not read "_s + command.resurveyFile +
                         u": "_s + loaded.error);
            return 1;
        }
        lists.replace(loaded.lstData, loaded.lstDat2);
        if (output.isEmpty())
            output = command.resurveyFile;
    }
    if (!output.isEmpty() && !folderTakesFiles(output)) {
        say(err, u"書き込めないフォルダーです / cannot write into the folder of "_s + output);
        return 1;
    }

    const OwnIdentity me = services.probes->ownIdentity();
    SurveyCommand run = command;
    if (run.mode == SurveyCommand::Mode::Survey && !run.hasRange) {
        const QStringList octets = OctetValue::octetTexts(me.myIp);
        if (octets.isEmpty()) {
            say(err, u"このパソコンのアドレスが分かりません。範囲を指定してください / the PC's own "
                     u"address is unknown: give a range, e.g. --survey 192.168.1.1-254"_s);
            return 2;
        }
        run.prefix = OctetValue::prefixText(octets.at(0), octets.at(1), octets.at(2));
    }

    SurveyEngine engine(services.probes, lists);
    const int total =
        run.mode == SurveyCommand::Mode::Survey ? run.last - run.first + 1 : lists.entryCount();
    ProgressLine progress(err, services.progress && !run.quiet, total);
    // Rows go out as they come, so that a pipe sees each host as soon as it is found.
    qsizetype printed = 1;
    const auto printNewRows = [&] {
        if (!command.rowsToStandardOutput())
            return;
        const QStringList& rows = lists.lstDat2();
        for (; printed < rows.size(); ++printed) {
            const AddressEntry entry = SplitCsvRow(rows.at(printed));
            const QString line = entry.ip + u'\t' + entry.host + u'\t' + entry.mac + u'\n';
            std::fputs(line.toUtf8().constData(), services.out);
        }
        std::fflush(services.out);
    };
    QObject::connect(&engine, &SurveyEngine::captionChanged, &engine, [&] {
        progress.clear();
        printNewRows();
        progress.rowAdded(lists.lstDat2().constLast());
    });
    // The window's error boxes become warnings; the survey goes on, as after OK.
    QObject::connect(&engine, &SurveyEngine::probeError, &engine, [&](const QString& procedure) {
        progress.clear();
        say(err, u"警告 / warning: "_s + procedure +
                     u": 何かエラーになりました。 / a probe "
                     u"failed"_s);
    });
    int status = 0;
    auto interrupts = std::make_unique<InterruptWatcher>();
    QObject::connect(interrupts.get(), &InterruptWatcher::interrupted, &engine,
                     [&](int exitStatus) {
                         status = exitStatus;
                         engine.cancel();
                     });
    QEventLoop loop;
    QObject::connect(&engine, &SurveyEngine::finished, &loop, &QEventLoop::quit);
    if (run.mode == SurveyCommand::Mode::Survey)
        engine.startNew(run.prefix, run.first, run.last, me);
    else
        engine.startResurvey(me);
    loop.exec();
    progress.clear();
    interrupts.reset();

    const QStringList& rows = lists.lstDat2();
    printNewRows();
    if (!output.isEmpty()) {
        const TextFile::WriteResult written = writeCsvExport(rows, output);
        if (!written.ok) {
            say(err,
                u"書き込めませんでした / could not write "_s + output + u": "_s + written.error);
            return 1;
        }
    }
    if (command.log && services.historyLogPath) {
        const QString logPath = services.historyLogPath();
        const TextFile::WriteResult written = subLogSave(rows, logPath);
        if (!written.ok) {
            say(err, u"履歴ファイルを書き込めませんでした / could not write the history log "_s +
                         logPath + u": "_s + written.error);
            return 1;
        }
    }
    return status;
}
