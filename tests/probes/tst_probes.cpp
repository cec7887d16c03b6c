#include "TestFiles.h"

#include "probes/SystemProbes.h"
#include "probes/channels/DatagramChannel.h"
#include "probes/host/ArpTable.h"
#include "probes/host/LocalIdentity.h"
#include "probes/host/PingProbe.h"
#include "probes/host/Resolver.h"
#include "probes/platform/LinuxProfile.h"
#include "probes/sweep/AddressSweep.h"
#include "probes/sweep/LookupPool.h"
#include "survey/AddressList.h"
#include "survey/InFlightBudget.h"
#include "survey/ProcessLimits.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <future>
#include <mutex>
#include <thread>

#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kFixtures = QStringLiteral(NETROSCOPE_PROBE_FIXTURES);

// A resolver that answers from a script and counts what it was asked.
class ScriptedNames : public NameService {
public:
    QString name;
    mutable std::atomic_int reverseCalls{0};
    mutable std::atomic<quint32> lastAddress{0};

    QString computerName() const override { return m_real.computerName(); }
    std::optional<quint32> parseAddress(const QString& text) const override
    {
        return m_real.parseAddress(text);
    }
    QString reverseName(quint32 address) const override
    {
        ++reverseCalls;
        lastAddress = address;
        return name;
    }
    QString forwardAddress(const QString& host) const override
    {
        return m_real.forwardAddress(host);
    }
    QString defaultRouteInterface() const override { return {}; }

private:
    LinuxNames m_real{QString()};
};

// A neighbour table that holds one resolved entry, or cannot be read.
class NeighbourTableOf : public LanAccess {
public:
    NeighbourTableOf(quint32 address, const QByteArray& hexMac)
        : m_address(address)
        , m_mac(QByteArray::fromHex(hexMac))
    {}
    bool unread = false;
    NeighbourState neighbour(quint32 address, std::chrono::steady_clock::time_point) const override
    {
        NeighbourState entry;
        entry.unread = unread;
        if (!unread && address == m_address) {
            entry.kind = NeighbourState::Kind::Stale;
            entry.linkAddress = m_mac;
        }
        return entry;
    }

private:
    quint32 m_address;
    QByteArray m_mac;
};

// A LAN whose host drops the program's echo requests and answers the ARP request of
// the kernel's `answeredProbe`-th confirmation (0: none), as a LAN that loses the
// others. Asked on the LAN, it names itself at once; `askedAfter` counts the
// confirmations by then.
class SilentHostLan : public LanAccess {
public:
    bool tableUnread = false;
    int answeredProbe = 0;
    mutable std::atomic_int probes{0};
    mutable std::atomic_int askedAfter{-1};

    EchoWay echoWay() const override { return EchoWay::EchoSocket; }
    std::unique_ptr<EchoRequest> sendEcho(quint32) const override
    {
        struct Unanswered : EchoRequest {
            bool answered() override { return false; }
            int descriptor() const override { return -1; }
            void collect() override {}
        };
        return std::make_unique<Unanswered>();
    }
    NeighbourState neighbour(quint32, std::chrono::steady_clock::time_point) const override
    {
        const std::lock_guard hold(m_lock);
        NeighbourState entry = tableUnread ? NeighbourState() : m_entry;
        entry.unread = tableUnread;
        return entry;
    }
    std::unique_ptr<LanNameRequest> askLanName(quint32) const override
    {
        using Time = std::chrono::steady_clock::time_point;
        struct Named : LanNameRequest {
            std::optional<QString> check(Time) override { return u"lanhost"_s; }
            Time nextCheck(Time deadline) const override { return deadline; }
        };
        askedAfter = probes.load();
        return std::make_unique<Named>();
    }
    bool reconfirmNeighbour(quint32, const NeighbourState&) const override
    {
        const std::lock_guard hold(m_lock);
        if (++probes == answeredProbe)
            m_entry.confirmedAt = std::chrono::steady_clock::now();
        return true;
    }

private:
    mutable std::mutex m_lock;
    mutable NeighbourState m_entry = [] {
        NeighbourState known;
        known.kind = NeighbourState::Kind::Reachable;
        known.interfaceIndex = 2;
        return known;
    }();
};

} // namespace

class TestProbes : public QObject {
    Q_OBJECT
private slots:
    void init();

    void pingReadsTheToolsReply();
    void refusedOperandsRunNothing_data();
    void refusedOperandsRunNothing();
    void shellTextsReachNoShell_data();
    void shellTextsReachNoShell();
    void pingToolMissingIsAnError();
    void hungPingIsKilledByStop();

    void macFromTheNeighbourTable_data();
    void macFromTheNeighbourTable();

    void tightDescriptorLimitLowersTheBound();
    void slowLookupsBringMoreThreads_data();
    void slowLookupsBringMoreThreads();
    void floodingHostIsNotAskedAgain_data();
    void floodingHostIsNotAskedAgain();
    void silentHostIsAskedAgain_data();
    void silentHostIsAskedAgain();
    void neighbourTableRoomHoldsProbesBack();

    void adapterListFallback();
    void toolsPresent();

    void ipToHost_data();
    void ipToHost();
    void hostToIpOfLocalNames();

    void preferredOwnAddress_data();
    void preferredOwnAddress();
    void adapterMacFor();
    void attachedNetworks();

private:
    // A stand-in tool: logs its arguments one per line, then prints `output`.
    QString standIn(const QString& name, const QString& outputFile, const QString& extra = {});
    QString argLog(const QString& name) const { return m_dir->filePath(name + u".args"_s); }
    QStringList loggedArgs(const QString& name) const;
    LinuxTools tools() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestProbes::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestProbes::standIn(const QString& name, const QString& outputFile, const QString& extra)
{
    const QString path = m_dir->filePath(name);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    QString text = u"#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '"_s +
                   argLog(name) + u"'\n"_s + extra;
    if (!outputFile.isEmpty())
        text += u"cat '"_s + outputFile + u"'\n"_s;
    script.write(text.toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QStringList TestProbes::loggedArgs(const QString& name) const
{
    QFile log(argLog(name));
    if (!log.open(QIODevice::ReadOnly))
        return {u"<not run>"_s};
    QStringList args = QString::fromUtf8(log.readAll()).split(u'\n');
    if (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

LinuxTools TestProbes::tools() const
{
    LinuxTools t;
    t.ping = m_dir->filePath(u"ping"_s);
    t.ip = m_dir->filePath(u"ip"_s);
    t.routeTable = kFixtures + u"/linux/route_lab.txt"_s;
    return t;
}

void TestProbes::pingReadsTheToolsReply()
{
    standIn(u"ping"_s, kFixtures + u"/linux/ping_reply.txt"_s);
    const LinuxProfile profile(tools());

    const PingOutcome live = subPing(profile, u"198.18.0.17"_s, StopToken());
    QVERIFY(live.answered);
    QVERIFY(!live.error);
    QCOMPARE(loggedArgs(u"ping"_s),
             (QStringList{u"-n"_s, u"-c"_s, u"1"_s, u"-W"_s, QString::number(kPingWaitSeconds),
                          u"198.18.0.17"_s}));

    // The same reply does not answer for an address that is a prefix of it.
    const PingOutcome other = subPing(profile, u"198.18.0.1"_s, StopToken());
    QVERIFY(!other.answered);
    QVERIFY(!other.error);
}

void TestProbes::refusedOperandsRunNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("option") << u"-f"_s;
    QTest::newRow("option with count") << u"-c100"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("two words") << u"127.0.0.1;touch X"_s;
    QTest::newRow("line break") << u"198.18.0.17\n-f"_s;
}

void TestProbes::refusedOperandsRunNothing()
{
    QFETCH(QString, text);
    standIn(u"ping"_s, kFixtures + u"/linux/ping_reply.txt"_s);
    const LinuxProfile profile(tools());
    const PingOutcome outcome = subPing(profile, text, StopToken());
    QVERIFY(!outcome.answered);
    QVERIFY(!outcome.error);
    QCOMPARE(loggedArgs(u"ping"_s), QStringList{u"<not run>"_s});

    const MacOutcome mac = subMacGet(profile, text, OwnIdentity(), StopToken());
    QVERIFY(mac.mac.isEmpty());
    QVERIFY(!mac.error);
}

void TestProbes::shellTextsReachNoShell_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("semicolon") << u"127.0.0.1;touch${IFS}%1"_s;
    QTest::newRow("command substitution") << u"$(touch${IFS}%1)"_s;
    QTest::newRow("backquotes") << u"`touch${IFS}%1`"_s;
    QTest::newRow("pipe") << u"127.0.0.1|touch${IFS}%1"_s;
    QTest::newRow("and") << u"127.0.0.1&&touch${IFS}%1"_s;
}

void TestProbes::shellTextsReachNoShell()
{
    QFETCH(QString, text);
    const QString marker = m_dir->filePath(u"X"_s);
    text = text.arg(marker);
    standIn(u"ping"_s, kFixtures + u"/linux/ping_reply.txt"_s);
    const PingOutcome outcome = subPing(LinuxProfile(tools()), text, StopToken());
    QVERIFY(!outcome.answered);
    QVERIFY(!outcome.error);
    // The tool got the text as its one operand, and no shell ever read it.
    QCOMPARE(loggedArgs(u"ping"_s).last(), text);
    QCOMPARE(loggedArgs(u"ping"_s).size(), 6);
    QVERIFY(!QFileInfo::exists(marker));
}

void TestProbes::pingToolMissingIsAnError()
{
    LinuxTools missing = tools();
    missing.ping = m_dir->filePath(u"no-ping"_s);
    const PingOutcome outcome = subPing(LinuxProfile(missing), u"198.18.0.17"_s, StopToken());
    QVERIFY(outcome.error);
    QVERIFY(!outcome.answered);
}

void TestProbes::hungPingIsKilledByStop()
{
    const QString pidFile = m_dir->filePath(u"ping.pid"_s);
    standIn(u"ping"_s, {}, u"echo $$ > '"_s + pidFile + u"'\nexec sleep 30\n"_s);
    const LinuxProfile profile(tools());
    StopToken stop;
    // The stop comes once the child runs: a stop before it starts would prove nothing.
    std::thread canceller([&] {
        TestFiles::waitForContent(pidFile);
        stop.requestStop();
    });
    QElapsedTimer clock;
    clock.start();
    const PingOutcome outcome = subPing(profile, u"198.18.0.17"_s, stop);
    const qint64 elapsed = clock.elapsed();
    canceller.join();
    QVERIFY(!outcome.answered);
    QVERIFY(!outcome.error);
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(file.readAll().trimmed().toLongLong());
    QVERIFY(pid > 0);
    QVERIFY(::kill(pid, 0) == -1 && errno == ESRCH);
}

void TestProbes::macFromTheNeighbourTable_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("unread");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<bool>("error");
    QTest::newRow("a resolved entry")
        << u"198.18.0.12"_s << false << u"02-4E-53-AB-CD-EF"_s << false;
    QTest::newRow("the table unreadable") << u"198.18.0.12"_s << true << QString() << true;
    // The PC's own address consults nothing, not even a table that cannot be read.
    QTest::newRow("the own address") << u"198.18.0.10"_s << true << u"02-4E-53-00-00-0A"_s << false;
    QTest::newRow("no address text") << u"198.18.0"_s << true << QString() << false;
}

void TestProbes::macFromTheNeighbourTable()
{
    QFETCH(QString, ip);
    QFETCH(bool, unread);
    QFETCH(QString, mac);
    QFETCH(bool, error);
    const auto table = std::make_shared<NeighbourTableOf>(0xC612000C, "024e53abcdef");
    table->unread = unread;
    const OwnIdentity me{u"pc"_s, u"198.18.0.10"_s, u"02-4E-53-00-00-0A"_s};
    const MacOutcome outcome = subMacGet(LinuxProfile(tools()).with(table), ip, me, StopToken());
    QCOMPARE(outcome.mac, mac);
    QCOMPARE(outcome.error, error);
}

void TestProbes::tightDescriptorLimitLowersTheBound()
{
    // Every ping takes a while, so a whole range would be in flight at once.
    standIn(u"ping"_s, {},
            u"sleep 0.2\neval ip=\\${$#}\n"
            "printf '64 bytes from %s: icmp_seq=1 ttl=64 time=0.1 ms\\n' \"$ip\"\n"_s);
    const auto names = std::make_shared<ScriptedNames>();
    names->name = u"host"_s;
    const PlatformProfile profile = LinuxProfile(tools()).with(names).with(
        std::make_shared<NeighbourTableOf>(0xC6120011, "024e53000011"));
    auto probes = std::make_shared<SystemProbes>(profile);

    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const ProcessLimits now = currentProcessLimits();
    rlimit tight = saved;
    // Room for four addresses' probes beyond the reserve and the lookups' threads; 40 at
    // once would need ten times that, and their ping tools would fail to start.
    const ProbeCost cost = probes->costPerAddress();
    tight.rlim_cur = rlim_t(now.filesInUse + kReservedDescriptors + cost.sharedDescriptors +
                            4 * cost.descriptors);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &saved); });

    SurveyLists lists;
    SurveyEngine engine(probes, lists);
    int errors = 0;
    connect(&engine, &SurveyEngine::probeError, this, [&] { ++errors; });
    QSignalSpy finished(&engine, &SurveyEngine::finished);
    engine.startNew(u"198.18.0."_s, 1, 40, {});
    QVERIFY(finished.wait(30000));
    QCOMPARE(errors, 0);
    QVERIFY2(engine.inFlight() > 1 && engine.inFlight() < 10,
             qPrintable(QString::number(engine.inFlight())));
    QCOMPARE(lists.entryCount(), 40);
    QCOMPARE(SplitCsvRow(lists.lstDat2().at(17)).mac, u"02-4E-53-00-00-11"_s);
}

void TestProbes::slowLookupsBringMoreThreads_data()
{
    QTest::addColumn<int>("bound");
    QTest::addColumn<int>("calls");
    QTest::addColumn<int>("together");
    QTest::newRow("a range of slow lookups") << 256 << 64 << 64;
    QTest::newRow("never past the bound") << 12 << 40 << 12;
}

void TestProbes::slowLookupsBringMoreThreads()
{
    QFETCH(int, bound);
    QFETCH(int, calls);
    QFETCH(int, together);
    // Each call blocks until `together` calls run side by side, as lookups do on a LAN
    // whose DNS is slow: a pool that kept to its quick threads would never get there.
    std::mutex lock;
    std::condition_variable changed;
    int running = 0;
    int most = 0;
    int done = 0;
    {
        LookupPool pool(bound);
        for (int k = 0; k < calls; ++k) {
            pool.run([&] {
                std::unique_lock hold(lock);
                most = std::max(most, ++running);
                changed.notify_all();
                changed.wait_for(hold, std::chrono::seconds(20), [&] { return most >= together; });
                --running;
                ++done;
                changed.notify_all();
            });
        }
        std::unique_lock hold(lock);
        changed.wait_for(hold, std::chrono::seconds(30), [&] { return done == calls; });
    }
    QCOMPARE(done, calls);
    QCOMPARE(most, together);
}

// A host that answers each question once is heard however busy the LAN; one that
// floods the shared socket with what its question refuses is read no further and
// not asked again, since every question to it may bring another flood. What does not
// carry the question's id is no answer, however well it reads.
void TestProbes::floodingHostIsNotAskedAgain_data()
{
    QTest::addColumn<int>("refused");     // datagrams it sends first
    QTest::addColumn<bool>("ownId");      // they carry the question's id (and are junk)
    QTest::addColumn<bool>("answered");   // the answer it sends then counts
    QTest::addColumn<bool>("askedAgain"); // a resend asks it again
    QTest::newRow("a few stray datagrams") << 15 << true << true << true;
    QTest::newRow("a flood") << 16 << true << false << false;
    QTest::newRow("answers with another id, then none") << 15 << false << false << true;
}

void TestProbes::floodingHostIsNotAskedAgain()
{
    QFETCH(int, refused);
    QFETCH(bool, ownId);
    QFETCH(bool, answered);
    QFETCH(bool, askedAgain);
    // Hosts on loopback addresses of their own, answering where the question came from;
    // no system proxy to look up for them (that lookup runs a thread of libproxy's).
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QUdpSocket flooder, honest;
    QVERIFY(flooder.bind(QHostAddress(u"127.0.0.2"_s)) &&
            honest.bind(QHostAddress(u"127.0.0.3"_s)));
    const auto asked = [](QUdpSocket& host) {
        return host.hasPendingDatagrams() || host.waitForReadyRead(30000) ? host.receiveDatagram()
                                                                          : QNetworkDatagram();
    };
    // The id first, as in the packets of the protocols the channel carries; it is the
    // channel's to check.
    const auto read = [](const DatagramChannel::Datagram& d, quint16) {
        return d.bytes.sliced(qMin<qsizetype>(2, d.bytes.size())) == "answer"
                   ? std::optional<QString>(u"name"_s)
                   : std::nullopt;
    };
    const auto channel = DatagramChannel::shared("flood-test", false);
    QVERIFY(channel);
    const auto ask = [&](QUdpSocket& host) {
        const quint32 at = host.localAddress().toIPv4Address();
        return channel->ask(
            at, host.localPort(),
            [](quint16 id) { return QByteArray(1, char(id >> 8)) + char(id & 0xFF) + 'q'; }, at,
            read);
    };
    const auto say = [](QUdpSocket& host, const QNetworkDatagram& to, const QByteArray& bytes) {
        host.writeDatagram(to.data().first(2) + bytes, to.senderAddress(),
                           quint16(to.senderPort()));
    };
    const auto floods = ask(flooder);
    const QNetworkDatagram question = asked(flooder);
    QVERIFY(floods && question.isValid());
    QNetworkDatagram otherId = question;
    otherId.setData(QByteArray(1, char(~question.data().at(0))) + question.data().sliced(1));
    for (int k = 0; k < refused; ++k)
        say(flooder, ownId ? question : otherId, ownId ? "junk" : "answer");
    if (ownId)
        say(flooder, question, "answer");
    // One receive queue, read in order: once the honest answer is in, so is the rest.
    const auto answers = ask(honest);
    QVERIFY(answers);
    say(honest, asked(honest), "answer");
    QCOMPARE(answers->wait(std::chrono::steady_clock::now() + std::chrono::seconds(30), {}),
             u"name"_s);
    QCOMPARE(floods->answer().has_value(), answered);

    floods->resend();
    answers->resend();
    QVERIFY(asked(honest).isValid());
    QCOMPARE(askedAgain ? asked(flooder).isValid() : flooder.hasPendingDatagrams(), askedAgain);
}

// A host that drops echo requests shows it is there by answering ARP during the
// wait; the kernel asks again only after the whole wait, so the survey has it ask
// again within it, until the entry is confirmed. Only a host known to be there is
// asked its name on the LAN: a question to an address that does not resolve waits in
// the kernel, charged to the socket that every question shares.
void TestProbes::silentHostIsAskedAgain_data()
{
    QTest::addColumn<int>("answeredProbe");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<bool>("present");
    QTest::newRow("the first request answered") << 1 << false << true;
    QTest::newRow("the first request lost") << 2 << false << true;
    QTest::newRow("every request lost") << 0 << false << false;
    QTest::newRow("the table unreadable") << 0 << true << false;
}

void TestProbes::silentHostIsAskedAgain()
{
    QFETCH(int, answeredProbe);
    QFETCH(bool, unreadable);
    QFETCH(bool, present);
    const auto lan = std::make_shared<SilentHostLan>();
    lan->tableUnread = unreadable;
    lan->answeredProbe = answeredProbe;
    const PlatformProfile profile = LinuxProfile(LinuxTools{}).with(lan);
    std::promise<PingOutcome> reported;
    PingOutcome outcome;
    QString host;
    {
        AddressSweep sweep(profile);
        sweep.start(u"198.18.0.120"_s, StopToken(),
                    [&](const QString& name, const PingOutcome& ping) {
                        host = name;
                        reported.set_value(ping);
                    });
        outcome = reported.get_future().get();
    }
    QCOMPARE(outcome.present, present);
    QVERIFY(!outcome.answered);
    QCOMPARE(outcome.neighboursUnread, unreadable);
    // Asked once it was confirmed, not before; once confirmed, the entry is left alone.
    QCOMPARE(host, present ? u"lanhost"_s : QString());
    QCOMPARE(lan->askedAfter.load(), present ? answeredProbe : -1);
    if (present)
        QCOMPARE(lan->probes.load(), answeredProbe);
}

// Every host answers at once; the neighbour table has room for three of the probes'
// entries, and none of them is ever collected.
class RoomForThree : public LanAccess {
public:
    mutable std::mutex lock;
    mutable QList<quint32> sent;

    EchoWay echoWay() const override { return EchoWay::EchoSocket; }
    std::unique_ptr<EchoRequest> sendEcho(quint32 address) const override
    {
        struct Answered : EchoRequest {
            bool answered() override { return true; }
            int descriptor() const override { return -1; }
            void collect() override {}
        };
        const std::lock_guard hold(lock);
        sent.append(address);
        return std::make_unique<Answered>();
    }
    NeighbourRoom neighbourRoom() const override
    {
        return {3, std::chrono::hours(1), std::chrono::hours(1)};
    }
};

// Addresses on an attached network wait, in the order they came, until the neighbour
// table has room for their entries; one behind a router takes none, but keeps its place
// in the queue. A waiting address that is stopped reports at once, never sent.
void TestProbes::neighbourTableRoomHoldsProbesBack()
{
    const auto lan = std::make_shared<RoomForThree>();
    const PlatformProfile profile = LinuxProfile(LinuxTools{}).with(lan);
    const auto at = [](const char* text) {
        return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
    };
    const QStringList addresses{u"198.18.0.1"_s, u"198.18.0.2"_s, u"198.19.0.1"_s, u"198.18.0.3"_s,
                                u"198.18.0.4"_s, u"198.18.0.5"_s, u"198.19.0.2"_s};
    std::mutex lock;
    std::condition_variable changed;
    QHash<QString, PingOutcome> reports;
    QList<StopToken> stops;
    {
        AddressSweep sweep(profile, [&] {
            return QList<AttachedNetwork>{AttachedNetwork::of(at("198.18.0.0"), 24)};
        });
        for (const QString& ip : addresses) {
            stops.append(StopToken());
            sweep.start(
                ip, stops.last(),
                [&, ip](const QString&, const PingOutcome& ping) {
                    const std::lock_guard hold(lock);
                    reports.insert(ip, ping);
                    changed.notify_all();
                },
                AddressSweep::Names::None);
        }
        const auto awaitReports = [&](int count) {
            std::unique_lock hold(lock);
            return changed.wait_for(hold, std::chrono::seconds(20),
                                    [&] { return reports.size() >= count; });
        };
        QVERIFY(awaitReports(4));
        {
            const std::lock_guard hold(lock);
            QCOMPARE(reports.keys().size(), 4);
            QVERIFY(!reports.contains(u"198.18.0.4"_s));
        }
        for (const StopToken& stop : stops)
            stop.requestStop();
        QVERIFY(awaitReports(addresses.size()));
    }
    const QList<quint32> sent{at("198.18.0.1"), at("198.18.0.2"), at("198.19.0.1"),
                              at("198.18.0.3")};
    QCOMPARE(lan->sent, sent);
    for (const QString& ip : addresses.mid(4))
        QVERIFY(!reports.value(ip).answered);
}

void TestProbes::adapterListFallback()
{
    standIn(u"ip"_s, kFixtures + u"/linux/ip_o_link.txt"_s);
    QCOMPARE(MacGetIpconfig(LinuxProfile(tools())), u"02-4E-53-00-00-0A"_s);
    QCOMPARE(loggedArgs(u"ip"_s), (QStringList{u"-o"_s, u"link"_s}));

    standIn(u"ip"_s, kFixtures + u"/linux/ping_dead.txt"_s); // holds no adapter
    QCOMPARE(MacGetIpconfig(LinuxProfile(tools())), u"00-00-00-00-00-00"_s);

    LinuxTools missing = tools();
    missing.ip = m_dir->filePath(u"no-ip"_s);
    QCOMPARE(MacGetIpconfig(LinuxProfile(missing)), u"00-00-00-00-00-00"_s);
}

void TestProbes::toolsPresent()
{
    standIn(u"ping"_s, {});
    standIn(u"ip"_s, {});
    QVERIFY(PingDllChk(LinuxProfile(tools())));

    LinuxTools noPing = tools();
    noPing.ping.clear();
    QVERIFY(!PingDllChk(LinuxProfile(noPing)));
    LinuxTools noIp = tools();
    noIp.ip = m_dir->filePath(u"no-ip"_s);
    QVERIFY(!SystemProbes(LinuxProfile(noIp)).toolsPresent());
}

void TestProbes::ipToHost_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("resolverName");
    QTest::addColumn<int>("asked");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QString>("host");

    QTest::newRow("address") << u"198.18.0.11"_s << u"lab11"_s << 1 << 0xC612000Bu << u"lab11"_s;
    QTest::newRow("comma and line break dropped")
        << u"198.18.0.11"_s << u"lab,11\r\n"_s << 1 << 0xC612000Bu << u"lab11"_s;
    QTest::newRow("Japanese name stays")
        << u"198.18.0.14"_s << u"ラボ14"_s << 1 << 0xC612000Eu << u"ラボ14"_s;
    QTest::newRow("no name") << u"198.18.0.2"_s << QString() << 1 << 0xC6120002u << QString();
    QTest::newRow("short form as inet_addr reads it")
        << u"198.18.2"_s << u"x"_s << 1 << 0xC6120002u << u"x"_s;
    QTest::newRow("host name is not asked") << u"lab11"_s << u"x"_s << 0 << 0u << QString();
    QTest::newRow("broadcast is not asked")
        << u"255.255.255.255"_s << u"x"_s << 0 << 0u << QString();
    QTest::newRow("failure text") << u"取得失敗"_s << u"x"_s << 0 << 0u << QString();
    QTest::newRow("empty") << QString() << u"x"_s << 0 << 0u << QString();
    QTest::newRow("octet out of range") << u"198.18.0.256"_s << u"x"_s << 0 << 0u << QString();
}

void TestProbes::ipToHost()
{
    QFETCH(QString, ip);
    QFETCH(QString, resolverName);
    QFETCH(int, asked);
    QFETCH(quint32, address);
    QFETCH(QString, host);
    const auto names = std::make_shared<ScriptedNames>();
    names->name = resolverName;
    QCOMPARE(IpToHost(LinuxProfile(LinuxTools{}).with(names), ip), host);
    QCOMPARE(names->reverseCalls.load(), asked);
    if (asked)
        QCOMPARE(names->lastAddress.load(), address);
}

void TestProbes::hostToIpOfLocalNames()
{
    // Answered from /etc/hosts and the literal itself: no lookup leaves the machine.
    const LinuxProfile profile(LinuxTools{});
    QCOMPARE(HostToIp(profile, u"localhost"_s), u"127.0.0.1"_s);
    QCOMPARE(HostToIp(profile, u"198.18.0.5"_s), u"198.18.0.5"_s);
    QCOMPARE(HostToIp(profile, QString()), QString());
}

void TestProbes::preferredOwnAddress_data()
{
    QTest::addColumn<QString>("resolved");
    QTest::addColumn<QString>("defaultRoute");
    QTest::addColumn<QString>("own");

    QTest::newRow("Debian's 127.0.1.1, default route first")
        << u"127.0.1.1"_s << u"eth1"_s << u"198.18.1.20"_s;
    QTest::newRow("no default route: first up interface")
        << u"127.0.1.1"_s << QString() << u"198.18.0.10"_s;
    QTest::newRow("default route on a down interface")
        << u"127.0.0.1"_s << u"eth9"_s << u"198.18.0.10"_s;
    QTest::newRow("a real address stays") << u"198.18.5.5"_s << u"eth1"_s << u"198.18.5.5"_s;
    QTest::newRow("unresolved stays empty") << QString() << u"eth1"_s << QString();
}

void TestProbes::preferredOwnAddress()
{
    QFETCH(QString, resolved);
    QFETCH(QString, defaultRoute);
    QFETCH(QString, own);
    const QList<LocalInterface> interfaces = {
        {u"lo"_s, {u"127.0.0.1"_s}, QString(), true, true, {}},
        {u"eth9"_s, {u"198.18.9.9"_s}, u"02-00-00-00-00-09"_s, false, false, {}},
        {u"eth0"_s, {u"198.18.0.10"_s}, u"02-00-00-00-00-0A"_s, true, false, {}},
        {u"eth1"_s, {u"198.18.1.20"_s}, u"02-00-00-00-00-14"_s, true, false, {}},
    };
    QCOMPARE(::preferredOwnAddress(resolved, interfaces, defaultRoute), own);

    const QList<LocalInterface> loopbackOnly = {{u"lo"_s, {u"127.0.0.1"_s}, {}, true, true, {}}};
    QCOMPARE(::preferredOwnAddress(u"127.0.1.1"_s, loopbackOnly, u"lo"_s), u"127.0.1.1"_s);
}

void TestProbes::adapterMacFor()
{
    const QList<LocalInterface> interfaces = {
        {u"lo"_s, {u"127.0.0.1"_s}, u"00-00-00-00-00-00"_s, true, true, {}},
        {u"eth0"_s, {u"198.18.0.10"_s}, u"02-00-00-00-00-0A"_s, true, false, {}},
        {u"eth1"_s, {u"198.18.1.20"_s}, u"02-00-00-00-00-14"_s, true, false, {}},
        {u"tun0"_s, {u"198.18.2.2"_s}, QString(), true, false, {}},
    };
    QCOMPARE(::adapterMacFor(u"198.18.1.20"_s, interfaces, u"eth0"_s), u"02-00-00-00-00-14"_s);
    // An interface without a hardware address falls back to the default route's.
    QCOMPARE(::adapterMacFor(u"198.18.2.2"_s, interfaces, u"eth1"_s), u"02-00-00-00-00-14"_s);
    QCOMPARE(::adapterMacFor(QString(), interfaces, QString()), u"02-00-00-00-00-0A"_s);
    QCOMPARE(::adapterMacFor(u"127.0.0.1"_s, {interfaces.first()}, u"lo"_s), QString());
}

// The networks of "--survey attached": each network of an up interface once, with its
// own prefix; loopback, link-local and down interfaces left out.
void TestProbes::attachedNetworks()
{
    const auto net = [](const char* text, int prefix) {
        return AttachedNetwork::of(QHostAddress(QString::fromLatin1(text)).toIPv4Address(), prefix);
    };
    const QList<LocalInterface> interfaces = {
        {u"lo"_s, {}, {}, true, true, {net("127.0.0.1", 8)}},
        {u"eth1"_s, {}, {}, true, false, {net("198.18.4.9", 22), net("169.254.3.3", 16)}},
        {u"eth0"_s, {}, {}, true, false, {net("198.18.0.10", 24), net("198.18.4.1", 22)}},
        {u"eth9"_s, {}, {}, false, false, {net("198.19.0.1", 16)}},
    };
    const QList<AttachedNetwork> expected = {net("198.18.0.0", 24), net("198.18.4.0", 22)};
    QCOMPARE(::attachedNetworks(interfaces), expected);
    QVERIFY(expected.at(1).holds(QHostAddress(u"198.18.7.254"_s).toIPv4Address()));
    QVERIFY(!expected.at(1).holds(QHostAddress(u"198.18.8.1"_s).toIPv4Address()));
}

QTEST_GUILESS_MAIN(TestProbes)
#include "tst_probes.moc"
