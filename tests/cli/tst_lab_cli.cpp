// The netroscope executable surveying from the command line inside the network lab
// (tests/lab/netlab.sh): what it prints and writes, byte for byte against what the
// window writes for the same rows, and what a signal in the middle leaves.
#include "HeldNameServer.h"
#include "ProcessWatch.h"

#include "store/CsvExport.h"
#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "survey/SurveyLists.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool signalled = false; // the signal asked for reached the running program

    // For a failure message: how the program ended and what it said.
    QByteArray told() const
    {
        return "exit status " + QByteArray::number(exitCode) +
               (signalled ? "" : ", not signalled") + ", standard error: " + err;
    }
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestLabCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void surveyToStandardOutputAndLog();
    void surveyToCsvAndResurveyInPlace();
    void signalInTheMiddle_data();
    void signalInTheMiddle();
    void unwritableOutputLeavesNothing();
    void changesSinceTheLog();
    void vendorField();

private:
    // The row the lab's truth gives for an address.
    AddressEntry truth(const QString& ip) const;
    // lstDat2 as the window would hold it after surveying .first to .last.
    QStringList surveyed(int first, int last) const;
    // The bytes the window's 「CSV保存」 writes for these rows.
    QByteArray windowCsv(const QStringList& lstDat2);
    // Runs the program; with `signal`, sends it while the survey is surely under way.
    Run run(const QStringList& arguments, int signal = 0, const QString& program = {});

    QTemporaryDir m_dir;
    QString m_prefix;
    QHash<QString, AddressEntry> m_live;
    AddressEntry m_own;
};

void TestLabCli::initTestCase()
{
    m_prefix = qEnvironmentVariable("NETLAB_PREFIX");
    if (m_prefix.isEmpty())
        QSKIP("runs only inside the network lab (tests/lab/netlab.sh run ...)");
    QVERIFY(m_dir.isValid());
    for (const QString& host :
         qEnvironmentVariable("NETLAB_HOSTS").split(u' ', Qt::SkipEmptyParts)) {
        const QStringList f = host.split(u',');
        m_live.insert(f.at(0), {f.at(0), f.at(1), f.at(2)});
    }
    m_own = {qEnvironmentVariable("NETLAB_OWN_IP"), qEnvironmentVariable("NETLAB_OWN_NAME"),
             qEnvironmentVariable("NETLAB_OWN_MAC")};
    QVERIFY(m_live.size() >= 8);
}

AddressEntry TestLabCli::truth(const QString& ip) const
{
    if (ip == m_own.ip)
        return m_own;
    return m_live.value(ip, {ip, {}, {}});
}

QStringList TestLabCli::surveyed(int first, int last) const
{
    SurveyLists lists;
    lists.resetToHeaders();
    for (int i = first; i <= last; ++i)
        lists.append(truth(m_prefix + u'.' + QString::number(i)));
    return lists.lstDat2();
}

QByteArray TestLabCli::windowCsv(const QStringList& lstDat2)
{
    const QString path = m_dir.filePath(u"window-reference.csv"_s);
    if (!writeCsvExport(lstDat2, path).ok)
        return "<not written>";
    return fileBytes(path);
}

Run TestLabCli::run(const QStringList& arguments, int signal, const QString& program)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    Run result;
    // The signal comes while the survey surely runs: the lab's hosts file does not name
    // every address, and the name server holds the questions about the others until
    // the signal has gone out. The first of them says the survey is under way.
    HeldNameServer names;
    if (signal) {
        if (!names.listen()) {
            result.err = "the lab's name server could not listen";
            return result;
        }
        process.setProcessEnvironment(HeldNameServer::patientResolver());
    }
    process.start(program.isEmpty() ? QStringLiteral(NETROSCOPE_EXE) : program, arguments);
    if (!process.waitForStarted())
        return result;
    if (signal) {
        const bool seen = QTest::qWaitFor(
            [&] { return names.asked() || process.state() != QProcess::Running; }, 60000);
        result.signalled = seen && names.asked() && ProcessWatch::signalChild(process, signal);
        names.release();
    }
    // Events are handled meanwhile: the name server answers what is still asked.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void TestLabCli::surveyToStandardOutputAndLog()
{
    // A copy of the program in a folder of its own keeps its history log beside it.
    const QString program = m_dir.filePath(u"bin/netroscope"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"bin"_s)));
    QVERIFY(QFile::copy(QStringLiteral(NETROSCOPE_EXE), program));
    const Run r = run({u"--survey"_s, m_prefix + u".1-30"_s, u"--log"_s}, 0, program);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray()); // no progress line where standard error is no terminal

    QByteArray expected;
    for (int i = 1; i <= 30; ++i) {
        const AddressEntry e = truth(m_prefix + u'.' + QString::number(i));
        expected += (e.ip + u'\t' + e.host + u'\t' + e.mac + u'\n').toUtf8();
    }
    QCOMPARE(r.out, expected);

    const QString reference = m_dir.filePath(u"reference.log"_s);
    QVERIFY(subLogSave(surveyed(1, 30), reference).ok);
    QCOMPARE(fileBytes(m_dir.filePath(u"bin/Netroscope.log"_s)), fileBytes(reference));
}

void TestLabCli::surveyToCsvAndResurveyInPlace()
{
    const QString csv = m_dir.filePath(u"list.csv"_s);
    Run r = run({u"--survey"_s, m_prefix + u".1-"_s + m_prefix + u".20"_s, u"--csv"_s, csv});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(fileBytes(csv), windowCsv(surveyed(1, 20)));

    // Blank what a re-survey must find again; a complete row is carried over as it is,
    // even when the lab would now say otherwise.
    QStringList edited = surveyed(1, 20);
    edited[11] = MakeCsvRow(m_prefix + u".11"_s, u"lab11"_s, QString());
    edited[12] = MakeCsvRow(m_prefix + u".12"_s, QString(), QString());
    edited[13] = MakeCsvRow(m_prefix + u".13"_s, u"old-name"_s, u"02-00-00-00-00-99"_s);
    QVERIFY(writeCsvExport(edited, csv).ok);
    r = run({u"--resurvey"_s, csv, u"--quiet"_s});
    QCOMPARE(r.exitCode, 0);
    QStringList expected = surveyed(1, 20);
    expected[13] = edited[13];
    QCOMPARE(fileBytes(csv), windowCsv(expected));
}

void TestLabCli::signalInTheMiddle_data()
{
    QTest::addColumn<bool>("resurvey");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl+C during a new survey") << false << int(SIGINT) << 130;
    QTest::newRow("SIGTERM during a re-survey") << true << int(SIGTERM) << 143;
}

void TestLabCli::signalInTheMiddle()
{
    QFETCH(bool, resurvey);
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    const QString csv = m_dir.filePath(u"cancelled.csv"_s);
    QStringList blank{surveyed(1, 0)}; // the header
    if (resurvey) {
        for (int i = 1; i <= 254; ++i)
            blank.append(MakeCsvRow(m_prefix + u'.' + QString::number(i), {}, {}));
        QVERIFY(writeCsvExport(blank, csv).ok);
    }
    const Run r = resurvey ? run({u"--resurvey"_s, csv}, signal)
                           : run({u"--survey"_s, m_prefix + u".1-254"_s, u"--csv"_s, csv}, signal);
    QVERIFY2(r.signalled && r.exitCode == exitCode, r.told().constData());

    // The rows up to the address being probed when the signal came are surveyed; a new
    // survey ends there, a re-survey carries every other entry over unchanged.
    const QByteArray written = fileBytes(csv);
    int surveyedRows = -1;
    for (int k = 1; k < 254 && surveyedRows < 0; ++k) {
        QStringList expected = surveyed(1, k);
        if (resurvey)
            expected += blank.mid(k + 1);
        if (written == windowCsv(expected))
            surveyedRows = k;
    }
    QVERIFY2(surveyedRows > 0, written.left(400).constData());
    qInfo("cancelled after %d rows", surveyedRows);
}

void TestLabCli::unwritableOutputLeavesNothing()
{
    // A folder where the file should go: the survey runs, the write fails, the folder
    // stays as it was.
    const QString taken = m_dir.filePath(u"taken.csv"_s);
    QVERIFY(QDir().mkpath(taken));
    const Run r = run({u"--survey"_s, m_prefix + u".1-3"_s, u"--csv"_s, taken});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(taken.toUtf8()), r.err.constData());
    QVERIFY(QFileInfo(taken).isDir());
    QCOMPARE(QDir(taken).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    QCOMPARE(QDir(m_dir.path()).entryList({u"*.tmp"_s, u".*"_s}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestLabCli::changesSinceTheLog()
{
    // A log that lacks two live hosts (one row blank, one not there at all) and gives
    // a third another MAC; the program's copy keeps its log beside it.
    const QString program = m_dir.filePath(u"changes/netroscope"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"changes"_s)));
    QVERIFY(QFile::copy(QStringLiteral(NETROSCOPE_EXE), program));
    const QString log = m_dir.filePath(u"changes/Netroscope.log"_s);
    QList<int> live;
    for (int i = 1; i <= 30 && live.size() < 3; ++i) {
        const QString ip = m_prefix + u'.' + QString::number(i);
        if (ip != m_own.ip && m_live.contains(ip))
            live.append(i);
    }
    QCOMPARE(live.size(), 3);
    const AddressEntry blank = truth(m_prefix + u'.' + QString::number(live[0]));
    const AddressEntry absent = truth(m_prefix + u'.' + QString::number(live[1]));
    const AddressEntry changed = truth(m_prefix + u'.' + QString::number(live[2]));
    const QString otherMac = u"00-00-5E-00-53-01"_s;
    QStringList old = surveyed(1, 30);
    old[live[0]] = MakeCsvRow(blank.ip, {}, {});
    old[live[2]] = MakeCsvRow(changed.ip, changed.host, otherMac);
    old.removeAt(live[1]);
    QVERIFY(subLogSave(old, log).ok);
    const QByteArray oldLog = fileBytes(log);

    const auto line = [](const QStringList& fields) {
        return (fields.join(u'\t') + u'\n').toUtf8();
    };
    const QByteArray expected =
        line({u"new"_s, blank.ip, blank.host, blank.mac, {}, {}, blank.ip}) +
        line({u"new"_s, absent.ip, absent.host, absent.mac, {}, {}, absent.ip}) +
        line({u"changed"_s, changed.ip, changed.host, changed.mac, changed.host, otherMac,
              changed.ip});
    const QStringList survey{u"--survey"_s, m_prefix + u".1-30"_s, u"--changes"_s};
    Run r = run(survey, 0, program);
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(r.out, expected);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(fileBytes(log), oldLog);

    // --log renews the log once the changes are out, so each change is reported once.
    r = run(survey + QStringList{u"--log"_s}, 0, program);
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(r.out, expected);
    r = run(survey, 0, program);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, QByteArray());
}

void TestLabCli::vendorField()
{
    // The lab's MACs are all locally administered: the mark, but for the one host the
    // site's own file names. The system's registries are read as they are.
    const AddressEntry named = truth(m_prefix + u".12"_s);
    QVERIFY(named.mac.startsWith(u"02-4E-53-AB"_s));
    const QString config = m_dir.filePath(u"config"_s);
    QVERIFY(QDir().mkpath(config + u"/Netroscope"_s));
    QFile site(config + u"/Netroscope/vendors.csv"_s);
    QVERIFY(site.open(QIODevice::WriteOnly));
    site.write("# the lab\n02:4e:53:ab,Lab printer\n");
    site.close();

    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    const Run r = run({u"--survey"_s, m_prefix + u".1-20"_s, u"--vendor"_s});
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
    QCOMPARE(r.exitCode, 0);

    QByteArray expected;
    for (int i = 1; i <= 20; ++i) {
        const AddressEntry e = truth(m_prefix + u'.' + QString::number(i));
        const QString vendor = e.mac.isEmpty() ? QString()
                               : e == named    ? u"Lab printer"_s
                                               : u"ローカル/ランダム"_s;
        expected += QStringList{e.ip, e.host, e.mac, vendor}.join(u'\t').toUtf8() + '\n';
    }
    QCOMPARE(r.out, expected);
}

QTEST_GUILESS_MAIN(TestLabCli)
#include "tst_lab_cli.moc"
