// The command-line survey's options: what each valid form asks for, and that every
// invalid one is refused with a message naming what is wrong. And what a re-survey
// leaves in the file it was given.
#include "FakeProbes.h"
#include "TestFiles.h"

#include "cli/CommandLineSurvey.h"
#include "cli/Interrupts.h"
#include "cli/SurveyCommand.h"
#include "store/CsvExport.h"
#include "store/LogLock.h"
#include "survey/AddressList.h"
#include "text/TextFile.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

class TestSurveyCommand : public QObject {
    Q_OBJECT
private slots:
    void validForms_data();
    void validForms();
    void invalidForms_data();
    void invalidForms();
    void resurveyWritesBackInTheFormRead_data();
    void resurveyWritesBackInTheFormRead();
    void fileOpenInAWindowIsNotWritten_data();
    void fileOpenInAWindowIsNotWritten();
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
    if (c.hasRange)
        parts << c.prefix + QString::number(c.first) + u'-' + QString::number(c.last);
    if (!c.resurveyFile.isEmpty())
        parts << c.resurveyFile;
    if (!c.csvFile.isEmpty())
        parts << u"csv="_s + c.csvFile;
    if (c.log)
        parts << u"log"_s;
    if (c.quiet)
        parts << u"quiet"_s;
    if (c.rowsToStandardOutput())
        parts << u"stdout"_s;
    return parts.join(u' ');
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
                                 << u"survey 192.168.1.1-254 stdout"_s;
    QTest::newRow("full range, = form, leading zeros")
        << QStringList{u"--survey=010.0.255.7-010.0.255.7"_s, u"--csv=out.csv"_s, u"-q"_s}
        << u"survey 10.0.255.7-7 csv=out.csv quiet"_s;
    QTest::newRow("options before the survey")
        << QStringList{u"--log"_s, u"--quiet"_s, u"--survey"_s, u"172.16.0.20-30"_s}
        << u"survey 172.16.0.20-30 log quiet stdout"_s;
    QTest::newRow("resurvey in place")
        << QStringList{u"--resurvey"_s, u"list.csv"_s} << u"resurvey list.csv"_s;
    QTest::newRow("resurvey elsewhere, with log")
        << QStringList{u"--resurvey"_s, u"in.csv"_s, u"--csv"_s, u"out.csv"_s, u"--log"_s}
        << u"resurvey in.csv csv=out.csv log"_s;
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
    QTest::newRow("both modes") << QStringList{u"--survey"_s, u"--resurvey"_s, u"a.csv"_s}
                                << u"--resurvey"_s;
    for (const QString& range :
         {u"192.168.1.1"_s, u"192.168.1-254"_s, u"192.168.1.1-2-3"_s, u"192.168.1.1-"_s,
          u"192.168.1.x-254"_s, u"1.2.3.0-254"_s, u"1.2.3.1-255"_s, u"256.1.1.1-2"_s,
          u"1.2.3.1-1.2.4.9"_s, u"1.2.3.9-1"_s, u"1.2.3.1-1.2.3.1.1"_s, u"1.2.3.1000-1"_s})
        QTest::newRow(qPrintable(u"range "_s + range))
            << QStringList{u"--survey"_s, range} << range;
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
}

void TestSurveyCommand::resurveyWritesBackInTheFormRead_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("csv"); // --csv, or empty: back into the file
    QTest::addColumn<bool>("header"); // whether the file starts with the header line
    QTest::newRow("the history log stays without a header")
        << u"Netroscope.log"_s << QString() << false;
    QTest::newRow("a text file stays without one") << u"list.txt"_s << QString() << false;
    QTest::newRow("a CSV file keeps its one header") << u"list.CSV"_s << QString() << true;
    QTest::newRow("--csv is a CSV file") << u"Netroscope.log"_s << u"out.csv"_s << false;
}

void TestSurveyCommand::resurveyWritesBackInTheFormRead()
{
    QFETCH(QString, file);
    QFETCH(QString, csv);
    QFETCH(bool, header);
    QTemporaryDir dir;
    const QString input = dir.filePath(file);
    const QStringList before{AddressList::csvHeader(), u"198.18.0.1,,"_s,
                             u"198.18.0.2,pc02,02-00-00-00-00-02"_s};
    QVERIFY(header ? writeCsvExport(before, input).ok : TextFile::write(input, before.mid(1)).ok);

    auto probes = std::make_shared<FakeProbes>();
    FakeProbes::Script found;
    found.host = u"pc01"_s;
    found.answered = true;
    found.mac = u"02-00-00-00-00-01"_s;
    probes->setScript(u"198.18.0.1"_s, found);
    CommandLineServices services;
    services.probes = probes;
    std::FILE* sink = std::tmpfile();
    services.out = services.err = sink;
    SurveyCommand command;
    command.mode = SurveyCommand::Mode::Resurvey;
    command.resurveyFile = input;
    command.csvFile = csv.isEmpty() ? QString() : dir.filePath(csv);

    // Twice: a second run finds nothing to do and must leave the file as the first did.
    const QString output = csv.isEmpty() ? input : command.csvFile;
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        QCOMPARE(runSurveyCommand(command, services), 0);
        const QByteArray written = TestFiles::readBytes(output);
        if (run == 0)
            first = written;
        QCOMPARE(written, first);
    }
    std::fclose(sink);

    const QStringList after{AddressList::csvHeader(), u"198.18.0.1,pc01,02-00-00-00-00-01"_s,
                            before.at(2)};
    const QString reference = dir.filePath(u"reference"_s);
    const bool csvForm = header || !csv.isEmpty();
    QVERIFY(csvForm ? writeCsvExport(after, reference).ok
                    : TextFile::write(reference, after.mid(1)).ok);
    QCOMPARE(first, TestFiles::readBytes(reference));
}

void TestSurveyCommand::fileOpenInAWindowIsNotWritten_data()
{
    QTest::addColumn<bool>("resurvey");
    QTest::addColumn<QByteArray>("out"); // what still reaches standard output
    QTest::newRow("--survey --log: the rows still go out")
        << false << QByteArray("198.18.0.1\t\t\n198.18.0.2\t\t\n");
    QTest::newRow("--resurvey of the log itself: refused before any probe") << true << QByteArray();
}

void TestSurveyCommand::fileOpenInAWindowIsNotWritten()
{
    QFETCH(bool, resurvey);
    QFETCH(QByteArray, out);
    QTemporaryDir dir;
    const QString log = dir.filePath(u"Netroscope.log"_s);
    const QByteArray before = "198.18.0.1,,\r\n";
    QVERIFY(TestFiles::writeBytes(log, before));
    LogLock window(log);
    QVERIFY(window.tryLock());

    auto probes = std::make_shared<FakeProbes>();
    CommandLineServices services;
    services.probes = probes;
    static QString logPath;
    logPath = log;
    services.historyLogPath = [] {
        return logPath;
    };
    std::FILE* stdOut = std::tmpfile();
    std::FILE* stdErr = std::tmpfile();
    services.out = stdOut;
    services.err = stdErr;
    SurveyCommand command = parseSurveyCommand(
        resurvey ? QStringList{u"netroscope"_s, u"--resurvey"_s, log}
                 : QStringList{u"netroscope"_s, u"--survey"_s, u"198.18.0.1-2"_s, u"--log"_s});
    QCOMPARE(runSurveyCommand(command, services), 1);
    const auto contents = [](std::FILE* file) {
        std::rewind(file);
        QByteArray bytes;
        for (int c; (c = std::fgetc(file)) != EOF;)
            bytes += char(c);
        std::fclose(file);
        return QString::fromUtf8(bytes);
    };
    QCOMPARE(contents(stdOut).toUtf8(), out);
    const QString said = contents(stdErr);
    QVERIFY2(said.contains(log) && said.contains(u"--csv"_s), qPrintable(said));
    QCOMPARE(said.count(u'\n'), 1);
    QCOMPARE(TestFiles::readBytes(log), before);
    QCOMPARE(probes->callCount(FakeProbes::kPing) == 0, resurvey);
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
