#include "probes/LinuxProfile.h"
#include "probes/MMacGet.h"
#include "probes/MPing.h"
#include "probes/PingProbe.h"
#include "probes/SystemProbes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
    void stopEndsAPingAtOnce();

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
    const QList<LabHost> hosts = labHosts();
    QVERIFY(hosts.size() >= 8);
    for (const LabHost& host : hosts)
        QTest::newRow(qPrintable(host.ip)) << host.ip << host.name << host.mac;
}

void TestLabProbes::liveHostAnswers()
{
    QFETCH(QString, ip);
    QFETCH(QString, name);
    QFETCH(QString, mac);
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
    const QStringList dead = deadAddresses();
    QVERIFY(!dead.isEmpty());
    for (const QString& ip : dead)
        QTest::newRow(qPrintable(ip)) << ip;
}

void TestLabProbes::deadAddressGivesNothing()
{
    QFETCH(QString, ip);
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

void TestLabProbes::stopEndsAPingAtOnce()
{
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

void TestLabProbes::cleanupTestCase()
{
    if (!m_temp)
        return;
    QCOMPARE(listing(m_temp->path()), QStringList());
    QCOMPARE(listing(QCoreApplication::applicationDirPath()), m_appDirBefore);
}

QTEST_GUILESS_MAIN(TestLabProbes)
#include "tst_lab_probes.moc"
