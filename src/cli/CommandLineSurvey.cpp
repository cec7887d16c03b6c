#include "cli/CommandLineSurvey.h"

#include "cli/MachineOutput.h"
#include "probes/NetworkProbes.h"
#include "store/CsvExport.h"
#include "store/HistoryLog.h"
#include "store/LogKeeper.h"
#include "store/MetricsFile.h"
#include "survey/AddressList.h"
#include "survey/Interrupts.h"
#include "survey/ListChanges.h"
#include "survey/OctetValue.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"
#include "text/Cp932.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

// The exit statuses, as runSurveyCommand gives them.
constexpr int kSurveyed = 0;
constexpr int kFailed = 1;   // a tool, a file to read or one to write
constexpr int kNotAsked = 2; // no range known, or a run that would replace its reference
constexpr int kChanged = 3;

// Addresses probed at once in a survey of the command line's ranges.
constexpr int kRangeInFlight = 1024;

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

    void rowAdded(const AddressEntry& entry)
    {
        ++m_done;
        if (!entry.mac.isEmpty())
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

// Rows and changes on standard output: tab-separated, or JSON lines with --json.
struct StandardOutput {
    std::FILE* out = stdout;
    bool json = false;
    bool vendorField = false; // --vendor's fourth tab-separated field
    // Loaded for --vendor, --json and --metrics; otherwise empty.
    const VendorRegistry* vendors = nullptr;

    // A row: UTF-8, the three fields tab-separated, empty ones kept; with --vendor, who
    // made the MAC as a fourth.
    void row(const AddressEntry& entry, Presence presence) const
    {
        if (json) {
            std::fputs(jsonRow(entry, presence, *vendors).constData(), out);
        } else {
            QString line = entry.ip + u'\t' + entry.host + u'\t' + entry.mac;
            if (vendorField)
                line += u'\t' + vendors->describe(entry.mac);
            std::fputs((line + u'\n').toUtf8().constData(), out);
        }
        std::fflush(out);
    }

    // A change: the kind, then the row now and the row before, each as address, name and
    // MAC, the address before last (the one a device moved from).
    void change(const ListChange& change, Presence presence) const
    {
        if (json) {
            std::fputs(jsonChange(change, presence, *vendors).constData(), out);
            return;
        }
        const QString line =
            QStringList{
                changeKindWord(change.kind), change.now.ip,     change.now.host, change.now.mac,
                change.before.host,          change.before.mac, change.before.ip}
                .join(u'\t') +
            u'\n';
        std::fputs(line.toUtf8().constData(), out);
    }
};

// The changes from `before` to the list surveyed, each printed.
std::vector<ListChange> printChanges(const StandardOutput& output,
                                     const QList<AddressEntry>& before, const SurveyLists& lists,
                                     const Presences& presences)
{
    std::vector<ListChange> changes = compareLists(before, lists.entries());
    for (const ListChange& change : changes)
        output.change(change, presences.value(change.now.ip, Presence::Unseen));
    std::fflush(output.out);
    return changes;
}

// The list a run is compared with, read as an import reads a file. A history log that
// is not there yet is the empty list of a first run; any other file that cannot be read
// is refused with the import's reasons, and gives no list.
std::optional<QList<AddressEntry>> referenceList(std::FILE* err, const QString& path,
                                                 bool isHistoryLog)
{
    LoadedList loaded = subListLoad(path);
    if (!loaded.opened) {
        if (isHistoryLog && loaded.failure == TextFile::ReadResult::Missing)
            return QList<AddressEntry>{};
        say(err,
            u"ファイルを読み込めませんでした / could not read "_s + path + u": "_s + loaded.error);
        return std::nullopt;
    }
    return entriesOf(loaded.rows);
}

// The same file under two names, or a file not there yet named twice.
bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

// Where the list goes once surveyed, besides standard output and the history log.
struct Output {
    QString path; // none when empty
    bool withHeader = true;
};

// A window shows this file and will save its own list into it: writing it here would
// be overwritten, or would overwrite the window's. Says so, with the way out.
bool openInAWindow(std::FILE* err, LogKeeper& file)
{
    if (file.claimForWrite())
        return false;
    // A window on another computer that shares the folder is named: it may be far away.
    const QString& path = file.path();
    const QString host = file.holderHost();
    say(err,
        u"ウィンドウ"_s + (host.isEmpty() ? QString() : u"（"_s + host + u"）"_s) +
            u"で開かれているため書き込みません。一覧は --csv で別のファイルに保存できます: "_s +
            path + u" / open in a window"_s + (host.isEmpty() ? QString() : u" on "_s + host) +
            u", not written: "_s + path + u" (keep the list with --csv FILE)"_s);
    return true;
}

// The list written where it goes, whole or not at all. A file is written back in the
// form it was read in: a log or any file read without a header gains none.
bool writeList(std::FILE* err, const QStringList& lstDat2, const Output& output)
{
    LogKeeper file(output.path);
    if (openInAWindow(err, file))
        return false;
    const TextFile::WriteResult written = output.withHeader
                                              ? writeCsvExport(lstDat2, output.path)
                                              : TextFile::write(output.path, lstDat2.mid(1));
    if (!written.ok)
        say(err,
            u"書き込めませんでした / could not write "_s + output.path + u": "_s + written.error);
    return written.ok;
}

// The probes and the converter are there. Says what is missing otherwise.
bool toolsAvailable(std::FILE* err, NetworkProbes& probes)
{
    if (!Cp932::available()) {
        say(err, u"コードページ 932（シフトJIS）の文字変換が使えません / the code page 932 "
                 u"converter is missing"_s);
        return false;
    }
    if (!probes.toolsPresent()) {
        say(err, u"必要なツール（ping、ip）がありません / the tools the probes need (ping, ip) "
                 u"are missing"_s);
        return false;
    }
    return true;
}

// The engine's run in the application's event loop, rows reported as they come and
// how each host was seen kept in `presences`. Gives 0, or the exit status of the signal
// that cancelled it.
int surveyInEventLoop(const SurveyCommand& command, const CommandLineServices& services,
                      SurveyLists& lists, std::vector<AddressRanges::Range> ranges,
                      const OwnIdentity& me, const StandardOutput& output, Presences& presences)
{
    SurveyEngine engine(services.probes, lists);
    // A range larger than a /24 would otherwise take a ping wait for each 255 addresses;
    // the probes keep what they hold per address within the system's limits themselves.
    engine.setMaxInFlight(kRangeInFlight);
    const int total = command.mode == SurveyCommand::Mode::Survey
                          ? int(AddressRanges::Parsed{ranges, {}}.addresses())
                          : lists.entryCount();
    ProgressLine progress(services.err, services.progress && !command.quiet, total);
    // Rows go out as they come, so that a pipe sees each host as soon as it is found.
    QObject::connect(&engine, &SurveyEngine::rowAdded, &engine,
                     [&](const AddressEntry& entry, Presence presence) {
                         progress.clear();
                         if (presence != Presence::Unseen)
                             presences.insert(entry.ip, presence);
                         if (command.rowsToStandardOutput())
                             output.row(entry, presence);
                         progress.rowAdded(entry);
                     });
    // The window's error boxes become warnings; the survey goes on, as after OK.
    QObject::connect(&engine, &SurveyEngine::probeError, &engine, [&](const QString& procedure) {
        progress.clear();
        say(services.err,
            u"警告 / warning: "_s + procedure + u": 何かエラーになりました。 / a probe failed"_s);
    });
    QObject::connect(&engine, &SurveyEngine::neighbourTableUnread, &engine, [&] {
        progress.clear();
        say(services.err, u"警告 / warning: ARP テーブルを読み取れませんでした。 / could not read "
                          "the neighbour table: hosts that drop ping may be missing"_s);
    });
    // Ctrl+C and SIGTERM cancel like 「調査中止」; the rows so far are still written.
    int status = 0;
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &engine, [&](int exitStatus) {
        status = exitStatus;
        engine.cancel();
    });
    QEventLoop loop;
    QObject::connect(&engine, &SurveyEngine::finished, &loop, &QEventLoop::quit);
    if (command.mode == SurveyCommand::Mode::Survey)
        engine.startNew(std::move(ranges), me);
    else
        engine.startResurvey(me);
    loop.exec();
    progress.clear();
    return status;
}

// The list a run starts from, and where it goes once surveyed: a re-survey starts from
// its file's rows and goes back into it, unless --csv says where else; a new survey
// goes to --csv, if anywhere. None, said on `err`, when the file to re-survey cannot be
// read or an output could not be written: found out before the survey.
std::optional<Output> startingList(std::FILE* err, const SurveyCommand& command, SurveyLists& lists)
{
    Output output{command.csvFile};
    if (command.mode == SurveyCommand::Mode::Resurvey) {
        LoadedList loaded = subListLoad(command.resurveyFile);
        if (!loaded.opened) {
            say(err, u"ファイルを読み込めませんでした / could not read "_s + command.resurveyFile +
                         u": "_s + loaded.error);
            return std::nullopt;
        }
        lists.replaceWithStored(std::move(loaded.rows));
        if (output.path.isEmpty())
            output = {command.resurveyFile, loaded.hasHeader};
    }
    if (!output.path.isEmpty() && !folderTakesFiles(output.path)) {
        say(err, u"書き込めないフォルダーです / cannot write into the folder of "_s + output.path);
        return std::nullopt;
    }
    // A file that could only be written back, and not now.
    if (!output.path.isEmpty() && output.path == command.resurveyFile) {
        LogKeeper file(output.path);
        if (openInAWindow(err, file))
            return std::nullopt;
    }
    return output;
}

// The range of a new survey without one: the PC's own /24, as the window proposes it.
// None, said on `err`, when the PC's own address is unknown.
std::vector<AddressRanges::Range> ownRange(std::FILE* err, const OwnIdentity& me)
{
    const QStringList octets = OctetValue::octetTexts(me.myIp);
    if (octets.isEmpty()) {
        say(err, u"このパソコンのアドレスが分かりません。範囲を指定してください / the PC's own "
                 u"address is unknown: give a range, e.g. --survey 192.168.1.1-254"_s);
        return {};
    }
    return AddressRanges::parse(OctetValue::prefixText(octets.at(0), octets.at(1), octets.at(2)) +
                                u"1-254"_s)
        .ranges;
}

// The networks of "--survey attached", with their real prefixes. None, said on `err`,
// when there is no such network or they are more than one survey takes.
std::vector<AddressRanges::Range> attachedRanges(std::FILE* err, NetworkProbes& probes)
{
    QStringList networks;
    for (const AttachedNetwork& network : probes.attachedNetworks())
        networks.append(AddressRanges::dotted(network.network) + u'/' +
                        QString::number(network.prefixLength));
    if (networks.isEmpty()) {
        say(err, u"接続中の IPv4 ネットワークがありません / no IPv4 network is attached"_s);
        return {};
    }
    AddressRanges::Parsed parsed = AddressRanges::parse(networks.join(u','));
    if (!parsed.error.isEmpty())
        say(err, u"attached: "_s + parsed.error);
    return std::move(parsed.ranges);
}

// The history log renewed by --log, unless a window holds it.
bool writeLog(std::FILE* err, const QStringList& lstDat2, const QString& logPath)
{
    LogKeeper log(logPath);
    if (openInAWindow(err, log))
        return false;
    const TextFile::WriteResult saved = subLogSave(lstDat2, logPath);
    if (!saved.ok)
        say(err, u"履歴ファイルを書き込めませんでした / could not write the history log "_s +
                     logPath + u": "_s + saved.error);
    return saved.ok;
}

// What a run that was not refused came to.
struct Outcome {
    int signalStatus = 0; // 128 + the signal that cancelled it, 0 when none did
    bool compared = true; // no reference was asked for, or it was read
    bool changed = false; // the comparison found a change
    bool written = true;  // every output asked for was written

    int exitStatus() const
    {
        if (!written || !compared)
            return kFailed;
        if (signalStatus != 0)
            return signalStatus;
        return changed ? kChanged : kSurveyed;
    }
};

} // namespace

int runSurveyCommand(const SurveyCommand& command, const CommandLineServices& services)
{
    std::FILE* err = services.err;
    if (!toolsAvailable(err, *services.probes))
        return kFailed;
    // Nothing shows the list: its rows go out as they come, and the data rows are written.
    SurveyLists lists(SurveyLists::View::None);
    const std::optional<Output> output = startingList(err, command, lists);
    if (!output)
        return kFailed;
    if (!command.metricsFile.isEmpty() && !folderTakesFiles(command.metricsFile)) {
        say(err, u"書き込めないフォルダーです / cannot write into the folder of "_s +
                     command.metricsFile);
        return kFailed;
    }
    const OwnIdentity me = services.probes->ownIdentity();
    std::vector<AddressRanges::Range> ranges = command.ranges;
    if (command.mode == SurveyCommand::Mode::Survey && ranges.empty()) {
        ranges = command.attached ? attachedRanges(err, *services.probes) : ownRange(err, me);
        if (ranges.empty())
            return kNotAsked;
    }

    // The list before is read before the run, so that what a window saves meanwhile is
    // not taken for it. It is only read: an output that would replace it is refused,
    // bar the history log that --log renews on purpose.
    Outcome outcome;
    std::optional<QList<AddressEntry>> before;
    // Found once: finding it runs a write test.
    const bool againstLog = command.changes && command.againstFile.isEmpty();
    const QString logPath = (command.log || againstLog) && services.historyLogPath
                                ? services.historyLogPath()
                                : QString();
    QStringList otherFiles{output->path};
    if (command.changes) {
        const QString reference = againstLog ? logPath : command.againstFile;
        if (!output->path.isEmpty() && sameFile(output->path, reference)) {
            say(err, u"比較相手のファイルには書き込みません: "_s + reference +
                         u" / the file compared with is not written: "_s + reference);
            return kNotAsked;
        }
        otherFiles << reference;
        before = referenceList(err, reference, againstLog);
        // The run goes on all the same: its --csv and --log are not lost for it.
        outcome.compared = before.has_value();
    }
    if (command.log)
        otherFiles << logPath;
    // One would overwrite the other, or a list be replaced by metrics.
    for (const QString& other : std::as_const(otherFiles)) {
        if (!command.metricsFile.isEmpty() && !other.isEmpty() &&
            sameFile(command.metricsFile, other)) {
            say(err, u"--metrics にはほかの出力・比較相手と別のファイルを指定してください: "_s +
                         other + u" / --metrics needs a file of its own: "_s + other);
            return kNotAsked;
        }
    }

    // Loaded before the first row, which goes out as soon as it is found.
    std::optional<VendorRegistry> vendors;
    if (command.wantsVendors())
        vendors = services.vendors ? services.vendors() : VendorRegistry();
    const StandardOutput standardOutput{services.out, command.json, command.vendor,
                                        vendors ? &*vendors : nullptr};
    Presences presences;
    const std::vector<AddressRanges::Range> surveyed = ranges;
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    QElapsedTimer clock;
    clock.start();
    outcome.signalStatus = surveyInEventLoop(command, services, lists, std::move(ranges), me,
                                             standardOutput, presences);
    const qint64 duration = clock.elapsed();

    std::optional<std::vector<ListChange>> changes;
    if (before) {
        changes = printChanges(standardOutput, *before, lists, presences);
        outcome.changed = !changes->empty();
    }

    // Each output on its own: one that cannot be written keeps the rows from no other.
    outcome.written = output->path.isEmpty() || writeList(err, lists.lstDat2(), *output);
    if (command.log && !logPath.isEmpty())
        outcome.written = writeLog(err, lists.lstDat2(), logPath) && outcome.written;
    if (!command.metricsFile.isEmpty()) {
        SurveyMetrics metrics = surveyMetrics(surveyed, lists.entries(), presences, *vendors);
        metrics.startedMsecs = started;
        metrics.durationMsecs = duration;
        metrics.changes = std::move(changes);
        const TextFile::WriteResult written = writeMetrics(command.metricsFile, metrics);
        if (!written.ok)
            say(err, u"書き込めませんでした / could not write "_s + command.metricsFile + u": "_s +
                         written.error);
        outcome.written = written.ok && outcome.written;
    }
    return outcome.exitStatus();
}
