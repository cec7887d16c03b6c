#include "LabSwitches.h"
#include "ProcessWatch.h"

#include "probes/LinuxProfile.h"
#include "probes/LocalIdentity.h"
#include "probes/PingProbe.h"
#include "probes/ProcessLimits.h"
#include "probes/Resolver.h"
#include "probes/SystemProbes.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <thread>

using namespace Qt::Literals::StringLiterals;

// Runs the real probes inside the scanner namespace of tests/lab/netlab.sh.
namespace {

struct LabHost {
    QString ip;
    QString name;
    QString mac;
};

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

QList<LabHost> labHosts()
{
    QList<LabHost> hosts;
    const QStringList entries = env("NETLAB_HOSTS").split(u' ', Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u',');
        if (parts.size() == 3)
            hosts.append({parts[0], parts[1], parts[2]});
    }
    return hosts;
}

QStringList deadAddresses()
{
    return env("NETLAB_DEAD").split(u' ', Qt::SkipEmptyParts);
}

// What a program directory and the temporary directory hold, to see that no
// probe leaves a file behind.
QStringList listing(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void addPathColumn()
{
    QTest::addColumn<bool>("echoSockets");
}

const char* pathName(bool echoSockets)
{
    return echoSockets ? "echo socket" : "console ping";
}

} // namespace

class TestLabProbes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void liveHostAnswers_data();
    void liveHostAnswers();
    void deadAddressGivesNothing_data();
    void deadAddressGivesNothing();
    void ownIdentity();
    void ownAddressRunsNothing();
    void loopbackNameGivesTheLabAddress();
    void firstOfSeveralAddresses();
    void probesRunSideBySide();
    void stopEndsAPingAtOnce_data();
    void stopEndsAPingAtOnce();
    void echoSocketNeedsNoPingTool_data();
    void echoSocketNeedsNoPingTool();
    void repeatedSurveysLeaveNothingBehind();

    void cleanup();
    void cleanupTestCase();

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    QStringList m_appDirBefore;
    SystemProbes m_probes;
    OwnIdentity m_me;
};

void TestLabProbes::initTestCase()
{
    if (env("NETLAB_OWN_IP").isEmpty())
        QSKIP("run through tests/lab/netlab.sh");
    QVERIFY(m_probes.toolsPresent());
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    qputenv("TMPDIR", QFile::encodeName(m_temp->path()));
    QCOMPARE(QDir::tempPath(), m_temp->path());
    m_appDirBefore = listing(QCoreApplication::applicationDirPath());
    m_me = m_probes.ownIdentity();
}

void TestLabProbes::liveHostAnswers_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mac");
    addPathColumn();
    const QList<LabHost> hosts = labHosts();
    QVERIFY(hosts.size() >= 8);
    for (bool echo : {true, false}) {
        for (const LabHost& host : hosts)
            QTest::addRow("%s %s", pathName(echo), qPrintable(host.ip))
                << host.ip << host.name << host.mac << echo;
    }
}

void TestLabProbes::liveHostAnswers()
{
    QFETCH(QString, ip);
    QFETCH(QString, name);
    QFETCH(QString, mac);
    QFETCH(bool, echoSockets);
    QVERIFY(allowEchoSockets(echoSockets));
    QCOMPARE(PlatformProfile::system().canSendEcho(), echoSockets);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_probes.ipToHost(ip), name);
    const PingOutcome ping = m_probes.ping(ip, StopToken());
    QVERIFY(ping.answered);
    QVERIFY(!ping.error);
    const MacOutcome found = m_probes.macOf(ip, m_me, StopToken());
    QCOMPARE(found.mac, mac);
    QVERIFY(!found.error);
    qInfo("live %s: %lld ms for name, ping and MAC", qPrintable(ip), clock.elapsed());
}

void TestLabProbes::deadAddressGivesNothing_data()
{
    QTest::addColumn<QString>("ip");
    addPathColumn();
    const QStringList dead = deadAddresses();
    QVERIFY(!dead.isEmpty());
    for (bool echo : {true, false}) {
        for (const QString& ip : dead)
            QTest::addRow("%s %s", pathName(echo), qPrintable(ip)) << ip << echo;
    }
}

void TestLabProbes::deadAddressGivesNothing()
{
    QFETCH(QString, ip);
    QFETCH(bool, echoSockets);
    QVERIFY(allowEchoSockets(echoSockets));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_probes.ipToHost(ip), QString());
    const PingOutcome ping = m_probes.ping(ip, StopToken());
    const qint64 elapsed = clock.elapsed();
    QVERIFY(!ping.answered);
    QVERIFY(!ping.error);
    const MacOutcome found = m_probes.macOf(ip, m_me, StopToken());
    QCOMPARE(found.mac, QString());
    QVERIFY(!found.error);
    qInfo("dead %s: %lld ms for name and ping", qPrintable(ip), elapsed);
    // The ping's own wait and a little: the name lookup fails fast, nothing hangs.
    QVERIFY2(elapsed < kPingWaitSeconds * 1000 + 1500, qPrintable(QString::number(elapsed)));
}

void TestLabProbes::ownIdentity()
{
    QCOMPARE(m_me.pcName, env("NETLAB_OWN_NAME"));
    QCOMPARE(m_probes.hostToIp(m_me.pcName), env("NETLAB_OWN_IP"));
    QCOMPARE(m_me.myIp, env("NETLAB_OWN_IP"));
    QCOMPARE(m_me.myMac, env("NETLAB_OWN_MAC"));
    QCOMPARE(m_probes.ipToHost(m_me.myIp), m_me.pcName);
}

void TestLabProbes::ownAddressRunsNothing()
{
    // Tools that do not exist: the own address must not need any of them.
    LinuxTools none;
    none.ping = u"/nonexistent/ping"_s;
    none.arpTable = u"/nonexistent/arp"_s;
    const LinuxProfile profile(none);
    SystemProbes probes(profile);
    const MacOutcome own = probes.macOf(m_me.myIp, m_me, StopToken());
    QCOMPARE(own.mac, env("NETLAB_OWN_MAC"));
    QVERIFY(!own.error);
    QVERIFY(probes.macOf(labHosts().first().ip, m_me, StopToken()).error);
}

void TestLabProbes::loopbackNameGivesTheLabAddress()
{
    // Debian maps the PC's name to 127.0.1.1; the identity then takes the address
    // of the interface that carries the default route.
    const QString own = preferredOwnAddress(u"127.0.1.1"_s, localInterfaces(),
                                            PlatformProfile::system().defaultRouteInterface());
    QCOMPARE(own, env("NETLAB_OWN_IP"));
    QCOMPARE(MacGet(own), env("NETLAB_OWN_MAC"));
    QCOMPARE(HostToIp(u"localhost"_s), u"127.0.0.1"_s);
}

void TestLabProbes::firstOfSeveralAddresses()
{
    QCOMPARE(HostToIp(env("NETLAB_MULTI_NAME")), env("NETLAB_MULTI_FIRST"));
    QCOMPARE(HostToIp(u"no-such-lab-host"_s), QString());
}

void TestLabProbes::probesRunSideBySide()
{
    // The way the survey uses them: many addresses at once on a pool.
    QStringList addresses = deadAddresses().mid(0, 3);
    const QList<LabHost> hosts = labHosts();
    for (const LabHost& host : hosts)
        addresses.append(host.ip);
    const OwnIdentity me = m_me;
    const QList<QString> macs = QtConcurrent::blockingMapped(addresses, [me](const QString& ip) {
        SystemProbes probes;
        const PingOutcome ping = probes.ping(ip, StopToken());
        return ping.answered ? probes.macOf(ip, me, StopToken()).mac : QString();
    });
    for (int i = 0; i < addresses.size(); ++i) {
        const QString expected = i < 3 ? QString() : hosts[i - 3].mac;
        QCOMPARE(macs[i], expected);
    }
}

void TestLabProbes::stopEndsAPingAtOnce_data()
{
    addPathColumn();
    for (bool echo : {true, false})
        QTest::newRow(pathName(echo)) << echo;
}

void TestLabProbes::stopEndsAPingAtOnce()
{
    QFETCH(bool, echoSockets);
    QVERIFY(allowEchoSockets(echoSockets));
    StopToken stop;
    std::thread canceller([stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.requestStop();
    });
    QElapsedTimer clock;
    clock.start();
    const PingOutcome ping = m_probes.ping(deadAddresses().first(), stop);
    const qint64 elapsed = clock.elapsed();
    canceller.join();
    QVERIFY(!ping.answered);
    QVERIFY(!ping.error);
    QVERIFY2(elapsed < kPingWaitSeconds * 1000, qPrintable(QString::number(elapsed)));
}

void TestLabProbes::echoSocketNeedsNoPingTool_data()
{
    addPathColumn();
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("error");
    // Refused, the probe falls back to the console ping, whose tool is missing here.
    QTest::newRow(pathName(true)) << true << true << false;
    QTest::newRow(pathName(false)) << false << false << true;
}

void TestLabProbes::echoSocketNeedsNoPingTool()
{
    QFETCH(bool, echoSockets);
    QFETCH(bool, answered);
    QFETCH(bool, error);
    QVERIFY(allowEchoSockets(echoSockets));
    LinuxTools tools = LinuxTools::installed();
    tools.ping = u"/nonexistent/ping"_s;
    const LinuxProfile profile(tools);
    SystemProbes probes(profile);
    const PingOutcome ping = probes.ping(labHosts().first().ip, StopToken());
    QCOMPARE(ping.answered, answered);
    QCOMPARE(ping.error, error);
    // Spelt otherwise than the reply names it, an address goes to the console ping.
    QVERIFY(probes.ping(u"198.18.1"_s, StopToken()).error);
}

void TestLabProbes::repeatedSurveysLeaveNothingBehind()
{
    // As the window does: one engine, survey after survey, both ways of pinging.
    auto probes = std::make_shared<SystemProbes>();
    SurveyLists lists;
    SurveyEngine engine(probes, lists);
    const QString prefix = env("NETLAB_PREFIX") + u'.';
    qint64 descriptorsBeyondThreads = -1;
    for (int run = 1; run <= 10; ++run) {
        QVERIFY(allowEchoSockets(run % 2 == 1));
        QSignalSpy finished(&engine, &SurveyEngine::finished);
        engine.startNew(prefix, 1, 30, m_me);
        QVERIFY(finished.wait(20000));
        QCOMPARE(lists.entryCount(), 30);
        QCOMPARE(ProcessWatch::childProcesses(), QStringList());
        // The pool keeps its threads for the next run, each with its event descriptor,
        // and starts another now and then when all of them are busy.
        const qint64 threads = currentProcessLimits().tasksInUse;
        QVERIFY2(threads <= 30 + 8, qPrintable(QString::number(threads)));
        const qint64 beyond = QDir(u"/proc/self/fd"_s).count() - threads;
        if (descriptorsBeyondThreads < 0)
            descriptorsBeyondThreads = beyond;
        QCOMPARE(beyond, descriptorsBeyondThreads);
    }
}

void TestLabProbes::cleanup()
{
    allowEchoSockets(true);
}

void TestLabProbes::cleanupTestCase()
{
    if (!m_temp)
        return;
    QCOMPARE(listing(m_temp->path()), QStringList());
    QCOMPARE(listing(QCoreApplication::applicationDirPath()), m_appDirBefore);
}

QTEST_GUILESS_MAIN(TestLabProbes)
#include "tst_lab_probes.moc"
