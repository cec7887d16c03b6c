// The command-line survey's options: what each valid form asks for, and that every
// invalid one is refused with a message naming what is wrong. And what a re-survey
// leaves in the file it was given.
#include "FakeProbes.h"
#include "TestFiles.h"

#include "cli/CommandLineSurvey.h"
#include "cli/SurveyCommand.h"
#include "store/CsvExport.h"
#include "store/LogLock.h"
#include "store/VendorRegistry.h"
#include "survey/AddressList.h"
#include "survey/Interrupts.h"
#include "text/TextFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

class TestSurveyCommand : public QObject {
    Q_OBJECT
private slots:
    void validForms_data();
    void validForms();
    void invalidForms_data();
    void invalidForms();
    void whatARunLeavesInItsFile_data();
    void whatARunLeavesInItsFile();
    void comparedWithAReference_data();
    void comparedWithAReference();
    void attachedNetworks_data();
    void attachedNetworks();
    void cronRecipeMailsEveryChange();
    void machineReadableOutput_data();
    void machineReadableOutput();
    void signalGivesTheShellsExitStatus_data();
    void signalGivesTheShellsExitStatus();
};

namespace {

// What a parsed command asks for, in one line.
QString describe(const SurveyCommand& c)
{
    QStringList parts{
        QStringList{u"window"_s, u"help"_s, u"version"_s, u"survey"_s, u"resurvey"_s}.at(
            int(c.mode))};
    QStringList ranges;
    for (const AddressRanges::Range& range : c.ranges)
        ranges << AddressRanges::dotted(range.first) + u'-' + AddressRanges::dotted(range.last);
    if (!ranges.isEmpty())
        parts << ranges.join(u';');
    if (c.attached)
        parts << u"attached"_s;
    if (!c.resurveyFile.isEmpty())
        parts << c.resurveyFile;
    if (!c.csvFile.isEmpty())
        parts << u"csv="_s + c.csvFile;
    if (c.log)
        parts << u"log"_s;
    if (c.quiet)
        parts << u"quiet"_s;
    if (c.changes)
        parts << u"changes"_s + (c.againstFile.isEmpty() ? QString() : u'=' + c.againstFile);
    if (c.vendor)
        parts << u"vendor"_s;
    if (c.json)
        parts << u"json"_s;
    if (c.rowsToStandardOutput())
        parts << u"stdout"_s;
    return parts.join(u' ');
}

// .1 answers and has a MAC, .2 has a name only.
std::shared_ptr<FakeProbes> twoScriptedAddresses()
{
    auto probes = std::make_shared<FakeProbes>();
    probes->setScript(u"198.18.0.1"_s, {u"pc01"_s, true, u"02-00-00-00-00-01"_s});
    probes->setScript(u"198.18.0.2"_s, {u"pc02"_s, false, {}});
    return probes;
}

struct Printed {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray drained(std::FILE* file)
{
    std::rewind(file);
    QByteArray bytes;
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes += char(c);
    std::fclose(file);
    return bytes;
}

// The command run over those probes with `logPath` as its history log: its status and
// what it printed.
Printed runScripted(const SurveyCommand& parsed, const std::shared_ptr<FakeProbes>& probes,
                    const QString& logPath)
{
    static QString historyLog;
    historyLog = logPath;
    CommandLineServices services;
    services.probes = probes;
    services.historyLogPath = [] {
        return historyLog;
    };
    // A site's name with what a label or a JSON string must escape.
    services.vendors = [] {
        return VendorRegistry::fromText({}, R"(02:00:00:00:00:01,"V""\")");
    };
    services.out = std::tmpfile();
    services.err = std::tmpfile();
    Printed printed;
    printed.status = runSurveyCommand(parsed, services);
    printed.out = drained(services.out);
    printed.err = drained(services.err);
    return printed;
}

} // namespace

void TestSurveyCommand::validForms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("window: no survey option")
        << QStringList{u"-platform"_s, u"xcb"_s} << u"window"_s;
    QTest::newRow("Qt's option value is no range")
        << QStringList{u"-platform"_s, u"offscreen"_s, u"--survey"_s} << u"survey stdout"_s;
    QTest::newRow("own range") << QStringList{u"--survey"_s} << u"survey stdout"_s;
    QTest::newRow("short range") << QStringList{u"--survey"_s, u"192.168.1.1-254"_s}
                                 << u"survey 192.168.1.1-192.168.1.254 stdout"_s;
    QTest::newRow("full range, = form, leading zeros")
        << QStringList{u"--survey=010.0.255.7-010.0.255.7"_s, u"--csv=out.csv"_s, u"-q"_s}
        << u"survey 10.0.255.7-10.0.255.7 csv=out.csv quiet"_s;
    QTest::newRow("options before the survey")
        << QStringList{u"--log"_s, u"--quiet"_s, u"--survey"_s, u"172.16.0.20-30"_s}
        << u"survey 172.16.0.20-172.16.0.30 log quiet stdout"_s;
    QTest::newRow("resurvey in place")
        << QStringList{u"--resurvey"_s, u"list.csv"_s} << u"resurvey list.csv"_s;
    QTest::newRow("resurvey elsewhere, with log")
        << QStringList{u"--resurvey"_s, u"in.csv"_s, u"--csv"_s, u"out.csv"_s, u"--log"_s}
        << u"resurvey in.csv csv=out.csv log"_s;
    QTest::newRow("changes instead of the rows")
        << QStringList{u"--survey"_s, u"--changes"_s, u"--log"_s} << u"survey log changes"_s;
    QTest::newRow("against a file: changes implied")
        << QStringList{u"--against=old.log"_s, u"--survey"_s, u"10.1.2.1-9"_s}
        << u"survey 10.1.2.1-10.1.2.9 changes=old.log"_s;
    QTest::newRow("vendor on the rows")
        << QStringList{u"--vendor"_s, u"--survey"_s, u"-q"_s} << u"survey quiet vendor stdout"_s;
    QTest::newRow("across /24s, a network, a list in address order")
        << QStringList{u"--survey"_s, u"192.168.4.0/22,1.2.3.1-1.2.4.9"_s, u"--changes"_s}
        << u"survey 1.2.3.1-1.2.4.9;192.168.4.1-192.168.7.254 changes"_s;
    QTest::newRow("the attached networks")
        << QStringList{u"--survey=attached"_s, u"--vendor"_s} << u"survey attached vendor stdout"_s;
    QTest::newRow("re-survey against a file")
        << QStringList{u"--resurvey"_s, u"a.csv"_s, u"--against"_s, u"b.csv"_s}
        << u"resurvey a.csv changes=b.csv"_s;
    QTest::newRow("JSON changes of a re-survey")
        << QStringList{u"--resurvey"_s, u"a.csv"_s, u"--against"_s, u"b.csv"_s, u"--json"_s}
        << u"resurvey a.csv changes=b.csv json"_s;
}

void TestSurveyCommand::validForms()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const SurveyCommand command = parseSurveyCommand(QStringList{u"netroscope"_s} + arguments);
    QCOMPARE(command.error, QString());
    QCOMPARE(describe(command), expected);
}

void TestSurveyCommand::invalidForms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named"); // what the message must name

    QTest::newRow("unknown option") << QStringList{u"--survey"_s, u"--fast"_s} << u"--fast"_s;
    QTest::newRow("option value on a flag")
        << QStringList{u"--survey"_s, u"--log=x"_s} << u"--log"_s;
    QTest::newRow("extra argument")
        << QStringList{u"--survey"_s, u"1.2.3.1-9"_s, u"more"_s} << u"more"_s;
    QTest::newRow("csv without a file") << QStringList{u"--survey"_s, u"--csv"_s} << u"--csv"_s;
    QTest::newRow("csv without a survey") << QStringList{u"--csv"_s, u"a.csv"_s} << u"--csv"_s;
    QTest::newRow("resurvey without a file") << QStringList{u"--resurvey"_s} << u"--resurvey"_s;
    QTest::newRow("against without a file")
        << QStringList{u"--survey"_s, u"--against"_s} << u"--against"_s;
    QTest::newRow("against that forgot its file")
        << QStringList{u"--survey"_s, u"--against"_s, u"--log"_s} << u"--against"_s;
    QTest::newRow("changes without a survey") << QStringList{u"--changes"_s} << u"--changes"_s;
    QTest::newRow("changes with a value")
        << QStringList{u"--survey"_s, u"--changes=a.log"_s} << u"--changes"_s;
    QTest::newRow("vendor without a survey") << QStringList{u"--vendor"_s} << u"--vendor"_s;
    QTest::newRow("vendor with the rows in a file")
        << QStringList{u"--survey"_s, u"--vendor"_s, u"--csv"_s, u"a.csv"_s} << u"--vendor"_s;
    QTest::newRow("vendor on changes")
        << QStringList{u"--survey"_s, u"--vendor"_s, u"--changes"_s} << u"--vendor"_s;
    QTest::newRow("vendor on a re-survey")
        << QStringList{u"--resurvey"_s, u"a.csv"_s, u"--vendor"_s} << u"--vendor"_s;
    QTest::newRow("JSON with the rows in a file and no changes")
        << QStringList{u"--survey"_s, u"--json"_s, u"--csv"_s, u"a.csv"_s} << u"--json"_s;
    QTest::newRow("JSON of a re-survey, which prints no rows")
        << QStringList{u"--resurvey"_s, u"a.csv"_s, u"--json"_s} << u"--json"_s;
    QTest::newRow("metrics that forgot its file")
        << QStringList{u"--survey"_s, u"--metrics"_s, u"--json"_s} << u"--metrics"_s;
    QTest::newRow("metrics of a re-survey, which has no ranges")
        << QStringList{u"--resurvey"_s, u"a.csv"_s, u"--metrics"_s, u"m.prom"_s} << u"--metrics"_s;
    QTest::newRow("both modes") << QStringList{u"--survey"_s, u"--resurvey"_s, u"a.csv"_s}
                                << u"--resurvey"_s;
    for (const QString& range :
         {u"192.168.1"_s, u"192.168.1-254"_s, u"192.168.1.1-2-3"_s, u"192.168.1.1-"_s,
          u"192.168.1.x-254"_s, u"1.2.3.0-254"_s, u"1.2.3.1-255"_s, u"256.1.1.1-2"_s,
          u"1.2.3.9-1"_s, u"1.2.3.1-1.2.3.1.1"_s, u"1.2.3.1000-1"_s, u"10.0.0.0/15"_s})
        QTest::newRow(qPrintable(u"range "_s + range))
            << QStringList{u"--survey"_s, range} << range;
    QTest::newRow("range: the word in a list")
        << QStringList{u"--survey"_s, u"10.0.0.1-9,attached"_s} << u"not a range: attached"_s;
}

void TestSurveyCommand::invalidForms()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const SurveyCommand command = parseSurveyCommand(QStringList{u"netroscope"_s} + arguments);
    QVERIFY2(command.error.contains(named), qPrintable(command.error));
    // One line, in both languages, with the window's wave dash in a range ("0～255").
    QVERIFY(!command.error.contains(u'\n'));
    QVERIFY(command.error.contains(u" / "_s));
    QVERIFY(!command.error.contains(u'\u301C'));
    // A wrong range shows the forms that would be taken.
    if (QByteArray(QTest::currentDataTag()).startsWith("range "))
        QVERIFY2(command.error.contains(u"192.168.4.0/22, several of these joined by commas, "
                                        "attached"_s),
                 qPrintable(command.error));
}

void TestSurveyCommand::whatARunLeavesInItsFile_data()
{
    // File names start with "@", for the run's folder; the log is @Netroscope.log. A
    // name ending in .csv holds the header line, any other none.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output"); // the file looked at afterwards
    QTest::addColumn<bool>("held");      // a window has the log open
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // standard output

    const QByteArray rows = "198.18.0.1\tpc01\t02-00-00-00-00-01\n198.18.0.2\tpc02\t\n";
    QTest::newRow("re-survey of the log: it stays without a header")
        << QStringList{u"--resurvey"_s, u"@Netroscope.log"_s} << u"@Netroscope.log"_s << false << 0
        << QByteArray();
    QTest::newRow("re-survey of a text file: it stays without one")
        << QStringList{u"--resurvey"_s, u"@list.txt"_s} << u"@list.txt"_s << false << 0
        << QByteArray();
    QTest::newRow("re-survey of a CSV file: it keeps its one header")
        << QStringList{u"--resurvey"_s, u"@list.CSV"_s} << u"@list.CSV"_s << false << 0
        << QByteArray();
    QTest::newRow("re-survey to --csv: a CSV file")
        << QStringList{u"--resurvey"_s, u"@Netroscope.log"_s, u"--csv"_s, u"@out.csv"_s}
        << u"@out.csv"_s << false << 0 << QByteArray();
    QTest::newRow("--log while a window has it: not written, the rows still go out")
        << QStringList{u"--survey"_s, u"198.18.0.1-2"_s, u"--log"_s} << u"@Netroscope.log"_s << true
        << 1 << rows;
    QTest::newRow("re-survey of the log a window has: refused before any probe")
        << QStringList{u"--resurvey"_s, u"@Netroscope.log"_s} << u"@Netroscope.log"_s << true << 1
        << QByteArray();
}

void TestSurveyCommand::whatARunLeavesInItsFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(bool, held);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QTemporaryDir dir;
    const QString logPath = dir.filePath(u"Netroscope.log"_s);
    const auto inDir = [&](const QString& name) {
        return name.startsWith(u'@') ? dir.filePath(name.mid(1)) : name;
    };
    const auto withHeader = [](const QString& path) {
        return path.endsWith(u".csv"_s, Qt::CaseInsensitive);
    };
    const auto write = [&](const QStringList& lstDat2, const QString& path) {
        return withHeader(path) ? writeCsvExport(lstDat2, path).ok
                                : TextFile::write(path, lstDat2.mid(1)).ok;
    };
    QStringList command{u"netroscope"_s};
    for (const QString& argument : arguments)
        command << inDir(argument);
    output = inDir(output);
    const QStringList before{AddressList::csvHeader(), u"198.18.0.1,,"_s,
                             u"198.18.0.2,pc02,02-00-00-00-00-02"_s};
    for (const QString& path : command + QStringList{output}) {
        if (path.startsWith(dir.path()) && !QFileInfo::exists(path))
            QVERIFY(write(before, path));
    }
    const QByteArray untouched = TestFiles::readBytes(output);
    LogLock window(logPath);
    QVERIFY(!held || window.tryLock());

    auto probes = twoScriptedAddresses();
    const SurveyCommand parsed = parseSurveyCommand(command);
    const Printed run = runScripted(parsed, probes, logPath);
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    const QString said = QString::fromUtf8(run.err);

    if (held) {
        // One line that names the file, the window's computer and the way out.
        QVERIFY2(said.contains(logPath) && said.contains(u"--csv"_s) &&
                     said.contains(u" on "_s + QSysInfo::machineHostName()),
                 qPrintable(said));
        QCOMPARE(said.count(u'\n'), 1);
        QCOMPARE(TestFiles::readBytes(output), untouched);
        QCOMPARE(probes->callCount(FakeProbes::kPing) == 0,
                 parsed.mode == SurveyCommand::Mode::Resurvey);
        return;
    }
    // In the form it was read, once: a second run, with nothing left to find, leaves
    // the same bytes (a header is not added again).
    const QString reference =
        dir.filePath(withHeader(output) ? u"reference.csv"_s : u"reference"_s);
    QVERIFY(write({AddressList::csvHeader(), u"198.18.0.1,pc01,02-00-00-00-00-01"_s, before.at(2)},
                  reference));
    QCOMPARE(TestFiles::readBytes(output), TestFiles::readBytes(reference));
    QCOMPARE(runScripted(parsed, probes, logPath).status, 0);
    QCOMPARE(TestFiles::readBytes(output), TestFiles::readBytes(reference));
}

void TestSurveyCommand::comparedWithAReference_data()
{
    // The run surveys .1 (pc01, live) and .2 (pc02, no MAC) and always writes @out.csv
    // and the log, @Netroscope.log; `reference` is put at @ref.log first (none when null).
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");      // standard output
    QTest::addColumn<QByteArray>("errNames"); // what standard error must name, if anything

    const QStringList survey{u"--survey"_s, u"198.18.0.1-2"_s, u"--csv"_s, u"@out.csv"_s,
                             u"--log"_s};
    const QByteArray same = "198.18.0.1,pc01,02-00-00-00-00-01\r\n198.18.0.2,pc02,\r\n";
    QTest::newRow("first run, no history log yet: every live host is new")
        << survey + QStringList{u"--changes"_s} << QByteArray() << 3
        << QByteArray("new\t198.18.0.1\tpc01\t02-00-00-00-00-01\t\t\t198.18.0.1\n") << QByteArray();
    QTest::newRow("nothing changed: status 0, no lines")
        << survey + QStringList{u"--against"_s, u"@ref.log"_s} << same << 0 << QByteArray()
        << QByteArray();
    QTest::newRow("a device that moved, against a file")
        << survey + QStringList{u"--against"_s, u"@ref.log"_s}
        << QByteArray("198.18.0.2,old,02-00-00-00-00-01\r\n198.18.0.1,PC-1,\r\n") << 3
        << QByteArray("moved\t198.18.0.1\tpc01\t02-00-00-00-00-01\told\t02-00-00-00-00-01\t"
                      "198.18.0.2\n")
        << QByteArray();
    QTest::newRow("bytes that are no code page 932: refused, nothing lost")
        << survey + QStringList{u"--against"_s, u"@ref.log"_s}
        << QByteArray("198.18.0.5,\x85\x40,\r\n") << 1 << QByteArray() << QByteArray("ref.log");
    QTest::newRow("a folder: refused, nothing lost")
        << survey + QStringList{u"--against"_s, u"@"_s} << QByteArray() << 1 << QByteArray()
        << QByteArray("could not read");
    QTest::newRow("--csv onto the file compared with: refused before any probe")
        << QStringList{u"--survey"_s, u"198.18.0.1-2"_s, u"--csv"_s,
                       u"@ref.log"_s, u"--against"_s,    u"@ref.log"_s}
        << same << 2 << QByteArray() << QByteArray("ref.log");
}

void TestSurveyCommand::comparedWithAReference()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, reference);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, errNames);
    QTemporaryDir dir;
    const QString logPath = dir.filePath(u"Netroscope.log"_s);
    const QString referencePath = dir.filePath(u"ref.log"_s);
    if (!reference.isNull())
        QVERIFY(TestFiles::writeBytes(referencePath, reference));
    QStringList command{u"netroscope"_s};
    for (const QString& argument : arguments)
        command << (argument.startsWith(u'@') ? dir.filePath(argument.mid(1)) : argument);

    auto probes = twoScriptedAddresses();
    const SurveyCommand parsed = parseSurveyCommand(command);
    QCOMPARE(parsed.error, QString());
    const Printed run = runScripted(parsed, probes, logPath);
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    const QByteArray said = run.err;
    QVERIFY2(errNames.isEmpty() ? said.isEmpty() : said.contains(errNames), said.constData());

    // The file compared with is only read; the run's own outputs are there whatever
    // became of the comparison, unless it was refused before the survey.
    QCOMPARE(TestFiles::readBytes(referencePath), reference);
    QCOMPARE(QFileInfo::exists(dir.filePath(u"out.csv"_s)), status != 2);
    QCOMPARE(QFileInfo::exists(logPath), status != 2);
    QCOMPARE(probes->callCount(FakeProbes::kPing) == 0, status == 2);
}

// "--survey attached" surveys the PC's networks as they are when it runs, or refuses
// before any probe when there is none or they are more than a survey takes.
void TestSurveyCommand::attachedNetworks_data()
{
    QTest::addColumn<QList<AttachedNetwork>>("networks");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QString>("said"); // on standard error
    const auto net = [](quint32 address, int prefix) {
        return AttachedNetwork::of(address, prefix);
    };
    QTest::newRow("a /30 and a /32, in address order")
        << QList<AttachedNetwork>{net(0xC6120100, 32), net(0xC6120000, 30)} << 0
        << QByteArray("198.18.0.1\tpc01\t02-00-00-00-00-01\n198.18.0.2\tpc02\t\n"
                      "198.18.1.0\t\t\n")
        << QString();
    QTest::newRow("none") << QList<AttachedNetwork>{} << 2 << QByteArray()
                          << u"no IPv4 network is attached"_s;
    QTest::newRow("larger than a /16") << QList<AttachedNetwork>{net(0x0A000000, 8)} << 2
                                       << QByteArray() << u"larger than a /16"_s;
}

void TestSurveyCommand::attachedNetworks()
{
    QFETCH(QList<AttachedNetwork>, networks);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QString, said);
    const auto probes = twoScriptedAddresses();
    probes->attached = networks;
    const SurveyCommand parsed =
        parseSurveyCommand({u"netroscope"_s, u"--survey"_s, u"attached"_s, u"-q"_s});
    QTemporaryDir dir;
    const Printed run = runScripted(parsed, probes, dir.filePath(u"Netroscope.log"_s));
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    QVERIFY2(QString::fromUtf8(run.err).contains(said), run.err.constData());
    if (status != 0)
        QCOMPARE(probes->callCount(FakeProbes::kPing), 0);
}

// The cron line of --help, night after night, its shell deciding on the program's real
// output and status: it mails each change, also on a night when a window has the log
// and --log is refused, since the changes are printed all the same.
void TestSurveyCommand::cronRecipeMailsEveryChange()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(u"Netroscope.log"_s);
    const QString help = surveyCommandHelp(logPath);
    const qsizetype at = help.indexOf(u"0 6 * * * netroscope "_s);
    QVERIFY(at >= 0);
    const QString shell =
        u"out=$1 status=$2 HOME=$3; netroscope() { cat \"$out\"; return $status; }; "
        u"mail() { cat > \"$HOME/mailed\"; }; "_s +
        help.mid(at + 10).section(u'\n', 0, 0);
    const QString out = dir.filePath(u"out"_s);
    const QString mailed = dir.filePath(u"mailed"_s);
    const SurveyCommand parsed = parseSurveyCommand(
        {u"netroscope"_s, u"--survey"_s, u"198.18.0.1-2"_s, u"--changes"_s, u"--log"_s});
    // Every host new on a night a window has the log, again the next night, which renews
    // it; then nothing.
    auto probes = twoScriptedAddresses();
    probes->setScript(u"198.18.0.1"_s, {u"drucker-büro"_s, true, u"02-00-00-00-00-01"_s});
    for (const auto& [held, mail] : {std::pair{true, true}, {false, true}, {false, false}}) {
        LogLock window(logPath);
        QVERIFY(!held || window.tryLock());
        const Printed run = runScripted(parsed, probes, logPath);
        QFile::remove(mailed);
        QVERIFY(TestFiles::writeBytes(out, run.out));
        QCOMPARE(QProcess::execute(u"/bin/sh"_s, {u"-c"_s, shell, u"sh"_s, out,
                                                  QString::number(run.status), dir.path()}) == 0,
                 mail);
        QCOMPARE(TestFiles::readBytes(mailed), mail ? run.out : QByteArray());
    }
}

void TestSurveyCommand::machineReadableOutput_data()
{
    // .1 answers the echo under a name no LAN should send, .2 only ARP, .9 not at all;
    // @ref.log holds .1 under another name and .9 with a MAC. Each command runs twice.
    // `samples` are those of @m.prom, the run's own time and duration as T (null: no file).
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArrayList>("out"); // standard output, line by line
    QTest::addColumn<QByteArray>("samples");
    const QStringList survey{u"--survey"_s, u"198.18.0.1-2,198.18.0.9"_s, u"--json"_s,
                             u"--metrics"_s, u"@m.prom"_s};
    const QByteArray samples =
        "netroscope_survey_start_timestamp_seconds T\nnetroscope_survey_duration_seconds T\n"
        "netroscope_survey_addresses{range=\"198.18.0.1-198.18.0.2\"} 2\n"
        "netroscope_survey_addresses{range=\"198.18.0.9\"} 1\n"
        "netroscope_survey_hosts{range=\"198.18.0.1-198.18.0.2\"} 2\n"
        "netroscope_survey_hosts{range=\"198.18.0.9\"} 0\n"
        "netroscope_host_up{address=\"198.18.0.1\",mac=\"02-00-00-00-00-01\","
        "name=\"a\\\"\\\\\x01\\né\",vendor=\"V\\\"\\\\\"} 1\n"
        "netroscope_host_up{address=\"198.18.0.2\",mac=\"02-00-00-00-00-02\",name=\"\","
        "vendor=\"ローカル/ランダム\"} 1\n";
    QTest::newRow("rows: found only for a host seen; metrics per range and live host")
        << survey << 0
        << QByteArrayList{R"({"address":"198.18.0.1","found":"echo","mac":"02-00-00-00-00-01",)"
                          R"("name":"a\"\\\u0001\né","vendor":"V\"\\"})",
                          R"({"address":"198.18.0.2","found":"arp","mac":"02-00-00-00-00-02",)"
                          R"("name":"","vendor":"ローカル/ランダム"})",
                          R"({"address":"198.18.0.9","mac":"","name":"","vendor":""})"}
        << samples;
    QTest::newRow("changes: the kind and the row before; their number by kind")
        << survey + QStringList{u"--against"_s, u"@ref.log"_s} << 3
        << QByteArrayList{R"({"address":"198.18.0.1","before":{"address":"198.18.0.1",)"
                          R"("mac":"02-00-00-00-00-01","name":"old","vendor":"V\"\\"},)"
                          R"("found":"echo","kind":"renamed","mac":"02-00-00-00-00-01",)"
                          R"("name":"a\"\\\u0001\né","vendor":"V\"\\"})",
                          R"({"address":"198.18.0.2","before":{"address":"198.18.0.2","mac":"",)"
                          R"("name":"","vendor":""},"found":"arp","kind":"new",)"
                          R"("mac":"02-00-00-00-00-02","name":"","vendor":"ローカル/ランダム"})",
                          R"({"address":"198.18.0.9","before":{"address":"198.18.0.9",)"
                          R"("mac":"02-00-00-00-00-09","name":"pc09","vendor":"ローカル/ランダム"},)"
                          R"("kind":"gone","mac":"","name":"","vendor":""})"}
        << samples +
               "netroscope_changes{kind=\"new\"} 1\nnetroscope_changes{kind=\"gone\"} 1\n"
               "netroscope_changes{kind=\"changed\"} 0\n"
               "netroscope_changes{kind=\"renamed\"} 1\nnetroscope_changes{kind=\"moved\"} 0\n";
    QTest::newRow("onto the file compared with: refused before any probe")
        << QStringList{u"--survey"_s, u"198.18.0.9"_s, u"--against"_s,
                       u"@ref.log"_s, u"--metrics"_s,  u"@ref.log"_s}
        << 2 << QByteArrayList() << QByteArray();
}

void TestSurveyCommand::machineReadableOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArrayList, out);
    QFETCH(QByteArray, samples);
    out << QByteArray(); // after the last line feed
    QTemporaryDir dir;
    const QString reference = dir.filePath(u"ref.log"_s);
    const QByteArray before = "198.18.0.1,old,02-00-00-00-00-01\r\n"
                              "198.18.0.9,pc09,02-00-00-00-00-09\r\n";
    QVERIFY(TestFiles::writeBytes(reference, before));
    const QString metrics = dir.filePath(u"m.prom"_s);
    auto probes = std::make_shared<FakeProbes>();
    probes->setScript(u"198.18.0.1"_s, {u"a\"\\\x01\né"_s, true, u"02-00-00-00-00-01"_s});
    FakeProbes::Script arpOnly{{}, false, u"02-00-00-00-00-02"_s};
    arpOnly.arpOnly = true;
    probes->setScript(u"198.18.0.2"_s, arpOnly);
    QStringList command{u"netroscope"_s};
    for (const QString& argument : arguments)
        command << (argument.startsWith(u'@') ? dir.filePath(argument.mid(1)) : argument);
    const SurveyCommand parsed = parseSurveyCommand(command);
    const auto samplesOf = [](const QByteArray& file) {
        QByteArray kept;
        for (const QByteArray& line : file.split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#'))
                kept += (line.contains("_seconds ") ? line.left(line.indexOf(' ')) + " T" : line) +
                        '\n';
        }
        return kept;
    };
    // The exporter reads the file as a user of its own, whatever this one's umask.
    const mode_t umask = ::umask(077);
    const Printed first = runScripted(parsed, probes, dir.filePath(u"log"_s));
    const QByteArray firstSamples = samplesOf(TestFiles::readBytes(metrics));
    const Printed second = runScripted(parsed, probes, dir.filePath(u"log"_s));
    ::umask(umask);
    QCOMPARE(first.status, status);
    QCOMPARE(first.out.split('\n'), out);
    QCOMPARE(TestFiles::readBytes(reference), before);
    // Nothing left beside the file, and no new file where a write was refused.
    const QStringList left{u"m.prom"_s, u"ref.log"_s};
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System, QDir::Name),
             samples.isNull() ? left.mid(1) : left);
    if (samples.isNull())
        return;
    // A second run over the same LAN prints the same and moves no series.
    QCOMPARE(firstSamples, samples);
    QCOMPARE(second.out, first.out);
    QCOMPARE(samplesOf(TestFiles::readBytes(metrics)), samples);
    struct stat file {};
    QCOMPARE(::stat(QFile::encodeName(metrics).constData(), &file), 0);
    QCOMPARE(file.st_mode & 07777, mode_t(0644));
#ifdef NETROSCOPE_PROMTOOL
    // Prometheus's own reading of the file, its lint included.
    QProcess promtool;
    promtool.setStandardInputFile(metrics);
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start(QString::fromLocal8Bit(NETROSCOPE_PROMTOOL), {u"check"_s, u"metrics"_s});
    QVERIFY(promtool.waitForFinished(-1));
    QCOMPARE(promtool.readAll(), QByteArray());
    QCOMPARE(promtool.exitCode(), 0);
#endif
}

void TestSurveyCommand::signalGivesTheShellsExitStatus_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitStatus");
    QTest::newRow("Ctrl+C") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

void TestSurveyCommand::signalGivesTheShellsExitStatus()
{
    QFETCH(int, signal);
    QFETCH(int, exitStatus);
    InterruptWatcher watcher;
    QSignalSpy interrupted(&watcher, &InterruptWatcher::interrupted);
    QCOMPARE(::raise(signal), 0);
    QVERIFY(interrupted.wait(5000));
    QCOMPARE(interrupted.size(), 1);
    QCOMPARE(interrupted.at(0).at(0).toInt(), exitStatus);
}

QTEST_GUILESS_MAIN(TestSurveyCommand)
#include "tst_surveycommand.moc"
