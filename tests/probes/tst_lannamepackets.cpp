#include "probes/packets/LanNamePackets.h"

#include <QTest>

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

// What the tables expect when a parser gives no answer; no name in them looks like it.
const QString kNone = u"<none>"_s;

QString shown(const std::optional<QString>& name)
{
    return name ? *name : kNone;
}

QString shown(const std::optional<quint32>& address)
{
    if (!address)
        return kNone;
    return u"%1.%2.%3.%4"_s.arg(*address >> 24)
        .arg((*address >> 16) & 0xFF)
        .arg((*address >> 8) & 0xFF)
        .arg(*address & 0xFF);
}

QByteArray u16(quint16 value)
{
    return QByteArray(1, char(value >> 8)) + char(value & 0xFF);
}

QByteArray header(quint16 id, quint16 flags, int questions, int answers, int others = 0)
{
    return u16(id) + u16(flags) + u16(questions) + u16(answers) + u16(0) + u16(others);
}

QByteArray name(const QByteArrayList& labels)
{
    QByteArray out;
    for (const QByteArray& label : labels)
        out += char(label.size()) + label;
    return out + '\0';
}

QByteArray record(const QByteArray& owner, quint16 type, quint16 klass, const QByteArray& data)
{
    return owner + u16(type) + u16(klass) + QByteArray::fromHex("00000078") + u16(data.size()) +
           data;
}

// NetBIOS: "*" with 15 NULs, first-level encoded.
const QByteArray kStar = name({"CK" + QByteArray(30, 'A')});
// "WS01" padded with blanks, suffix 0x00, first-level encoded.
const QByteArray kWs01 = name({"FHFDDADB" + QByteArray("CA").repeated(11) + "AA"});

QByteArray entry(const QByteArray& bytes, char suffix, quint16 flags)
{
    return bytes.leftJustified(15, ' ') + suffix + u16(flags);
}

QByteArray statusAnswer(quint16 id, const QByteArrayList& entries)
{
    const QByteArray data = char(entries.size()) + entries.join() + QByteArray(46, '\0');
    return header(id, 0x8400, 0, 1) + record(kStar, 0x21, 1, data);
}

QByteArray nameResponse(quint16 id, quint16 flags, const QByteArray& owner, const QByteArray& data)
{
    return header(id, flags, 0, 1) + record(owner, 0x20, 1, data);
}

// mDNS: 198.18.0.7 asked for, its neighbour .8 not, with this id.
constexpr quint32 kAsked = 0xC6120007;
constexpr quint16 kId = 0x5EC1;
const QByteArray kReverse = name({"7", "0", "18", "198", "in-addr", "arpa"});
const QByteArray kOther = name({"8", "0", "18", "198", "in-addr", "arpa"});
const QByteArray kQuestion = kReverse + u16(12) + u16(0x8001);

QByteArray ptrAnswer(const QByteArray& owner, const QByteArray& target, quint16 flags = 0x8400,
                     quint16 id = kId)
{
    return header(id, flags, 0, 1) + record(owner, 12, 0x8001, target);
}

QByteArray pointer(qsizetype offset)
{
    return u16(quint16(0xC000 | offset));
}

} // namespace

class TestLanNamePackets : public QObject {
    Q_OBJECT
private slots:
    void queries_data();
    void queries();
    void refusedQueries_data();
    void refusedQueries();
    void nodeStatus_data();
    void nodeStatus();
    void nameQueryResponse_data();
    void nameQueryResponse();
    void mdnsReverse_data();
    void mdnsReverse();
    void mdnsAddress_data();
    void mdnsAddress();
    void truncatedAtEveryLength_data();
    void truncatedAtEveryLength();
};

// Written out from RFC 1002 4.2.12 and 4.2.17, RFC 1035 4.1 and RFC 6762 5.4.
void TestLanNamePackets::queries_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("node status")
        << LanNamePackets::nodeStatusQuery(0x1234)
        << QByteArray::fromHex(
               "123400000001000000000000"
               "20434B41414141414141414141414141414141414141414141414141414141414100"
               "00210001");
    QTest::newRow("name query, lower case sent upper")
        << LanNamePackets::nameQuery(0xBEEF, u"ws01"_s)
        << QByteArray::fromHex("BEEF00100001000000000000"
                               "2046484644444144424341434143414341434143414341434143414341434141"
                               "4100"
                               "00200001");
    QTest::newRow("mdns reverse") << LanNamePackets::mdnsReverseQuery(0, kAsked)
                                  << QByteArray::fromHex("000000000001000000000000"
                                                         "0137013002313803313938"
                                                         "07696E2D61646472046172706100"
                                                         "000C8001");
    QTest::newRow("mdns address, case kept") << LanNamePackets::mdnsAddressQuery(7, u"Web.local"_s)
                                             << QByteArray::fromHex("000700000001000000000000"
                                                                    "03576562056C6F63616C00"
                                                                    "00018001");
}

void TestLanNamePackets::queries()
{
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, expected);
    QCOMPARE(query.toHex(), expected.toHex().toLower());
}

void TestLanNamePackets::refusedQueries_data()
{
    QTest::addColumn<bool>("netbios");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sent");
    QTest::newRow("nb empty") << true << QString() << false;
    QTest::newRow("nb dotted") << true << u"ws01.local"_s << false;
    QTest::newRow("nb 16 bytes") << true << u"表示表示表示ABCD"_s << false;
    QTest::newRow("nb not cp932") << true << u"PC€"_s << false;
    QTest::newRow("nb question mark is cp932") << true << u"PC?"_s << true;
    QTest::newRow("dns empty label") << false << u"web..local"_s << false;
    QTest::newRow("dns trailing dot") << false << u"web.local."_s << false;
    QTest::newRow("dns 64-byte label") << false << QString(64, u'a') + u".local"_s << false;
    const QString label = QString(62, u'a') + u'.';
    QTest::newRow("dns 254 bytes") << false << label.repeated(4) + u"bc"_s << false;
    QTest::newRow("dns utf-8 counts bytes")
        << false << QString(21, u'あ') + u".local"_s << true; // 63 bytes
    QTest::newRow("dns utf-8 over 63 bytes") << false << QString(21, u'あ') + u"a.local"_s << false;
}

void TestLanNamePackets::refusedQueries()
{
    QFETCH(bool, netbios);
    QFETCH(QString, name);
    QFETCH(bool, sent);
    const QByteArray query =
        netbios ? LanNamePackets::nameQuery(1, name) : LanNamePackets::mdnsAddressQuery(1, name);
    QCOMPARE(!query.isEmpty(), sent);
}

void TestLanNamePackets::nodeStatus_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("expected");
    const QByteArray ws = entry("WS01", 0x00, 0x0400);
    const QByteArray group = entry("WORKGROUP", 0x00, 0x8400);
    // 表 and 示: the first one's second byte is a backslash in ASCII.
    QTest::newRow("cp932 with 0x5C")
        << statusAnswer(1, {entry("\x95\x5C\x8E\xA6", 0x00, 0x0400)}) << u"表示"_s;
    QTest::newRow("group first") << statusAnswer(1, {group, ws}) << u"WS01"_s;
    QTest::newRow("server suffix first")
        << statusAnswer(1, {entry("SRV", 0x20, 0x0400), ws}) << u"WS01"_s;
    QTest::newRow("blanks and NULs trimmed, inner blank kept")
        << statusAnswer(1, {entry(QByteArray("MY PC\0 \0", 8), 0x00, 0x0400)}) << u"MY PC"_s;
    QTest::newRow("comma and CR LF as sent")
        << statusAnswer(1, {entry("PC,\r\nX", 0x00, 0x0400)}) << u"PC,\r\nX"_s;
    QTest::newRow("invalid cp932")
        << statusAnswer(1, {entry("A\x82\x41", 0x00, 0x0400)}) << QString();
    QTest::newRow("only blanks") << statusAnswer(1, {entry("", 0x00, 0x0400)}) << QString();
    QTest::newRow("only groups") << statusAnswer(1, {group}) << QString();
    QTest::newRow("no names") << statusAnswer(1, {}) << QString();
    QTest::newRow("wrong id") << statusAnswer(2, {ws}) << kNone;
    QByteArray query = statusAnswer(1, {ws});
    query[2] = 0x04;
    QTest::newRow("not a response") << query << kNone;
    QByteArray failed = statusAnswer(1, {ws});
    failed[3] = 0x03;
    QTest::newRow("rcode set") << failed << kNone;
    QByteArray many = statusAnswer(1, {ws});
    many[12 + kStar.size() + 10] = char(0xFF); // NUM_NAMES 255
    QTest::newRow("names past the data") << many << kNone;
    QTest::newRow("answer count past the packet")
        << header(1, 0x8400, 0, 2) + statusAnswer(1, {ws}).sliced(12) << kNone;
    QTest::newRow("name query answer")
        << nameResponse(1, 0x8500, kWs01, u16(0) + "\xC6\x12\x00\x07") << kNone;
    QTest::newRow("node status for another name")
        << header(1, 0x8400, 0, 1) +
               record(kWs01, 0x21, 1, statusAnswer(1, {ws}).sliced(12 + kStar.size() + 10))
        << kNone;
}

void TestLanNamePackets::nodeStatus()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, expected);
    QCOMPARE(shown(LanNamePackets::parseNodeStatus(packet, 1)), expected);
}

void TestLanNamePackets::nameQueryResponse_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("expected");
    const QByteArray two = QByteArray::fromHex("0000C6120007"
                                               "0000C6120008");
    QTest::newRow("first of two") << nameResponse(1, 0x8500, kWs01, two) << u"198.18.0.7"_s;
    QTest::newRow("owner in lower case")
        << nameResponse(1, 0x8500, kWs01.toLower(), two) << u"198.18.0.7"_s;
    QTest::newRow("negative") << nameResponse(1, 0x8503, kWs01, {}) << kNone;
    QTest::newRow("wrong id") << nameResponse(2, 0x8500, kWs01, two) << kNone;
    QTest::newRow("other name") << nameResponse(1, 0x8500, kStar, two) << kNone;
    QTest::newRow("short data") << nameResponse(1, 0x8500, kWs01, two.first(5)) << kNone;
}

void TestLanNamePackets::nameQueryResponse()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, expected);
    QCOMPARE(shown(LanNamePackets::parseNameQueryResponse(packet, 1, u"Ws01"_s)), expected);
}

void TestLanNamePackets::mdnsReverse_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("expected");
    const QByteArray printer = name({"printer", "local"});
    QTest::newRow("plain") << ptrAnswer(kReverse, printer) << u"printer.local"_s;
    QTest::newRow("owner case differs")
        << ptrAnswer(kReverse.toUpper(), printer) << u"printer.local"_s;
    QTest::newRow("Japanese") << ptrAnswer(kReverse, name({u"プリンタ"_s.toUtf8(), "local"}))
                              << u"プリンタ.local"_s;
    QTest::newRow("comma and CR LF as sent")
        << ptrAnswer(kReverse, name({"a,b\r\nc", "local"})) << u"a,b\r\nc.local"_s;
    QTest::newRow("other address") << ptrAnswer(kOther, printer) << kNone;
    QTest::newRow("other id") << ptrAnswer(kReverse, printer, 0x8400, kId ^ 0x0100) << kNone;
    QTest::newRow("multicast answer, id 0") << ptrAnswer(kReverse, printer, 0x8400, 0) << kNone;
    QTest::newRow("query, not answer") << ptrAnswer(kReverse, printer, 0) << kNone;
    QTest::newRow("rcode set") << ptrAnswer(kReverse, printer, 0x8403) << kNone;
    QTest::newRow("invalid UTF-8") << ptrAnswer(kReverse, name({"\xC3\x28"})) << kNone;
    QTest::newRow("root") << ptrAnswer(kReverse, name({})) << kNone;
    const QByteArray label(63, 'a');
    QTest::newRow("255 bytes on the wire")
        << ptrAnswer(kReverse, name({label, label, label, QByteArray(61, 'b')}))
        << QStringList(3, QString::fromLatin1(label)).join(u'.') + u'.' + QString(61, u'b');
    QTest::newRow("256 bytes on the wire")
        << ptrAnswer(kReverse, name({label, label, label, QByteArray(62, 'b')})) << kNone;

    // The other address's answer comes first and is passed over.
    const QByteArray both = header(kId, 0x8400, 0, 2) + record(kOther, 12, 1, name({"no"})) +
                            record(kReverse, 12, 1, printer);
    QTest::newRow("after another address") << both << u"printer.local"_s;

    // Question, an A record for printer.local, then the PTR answer whose owner points
    // at the question and whose name is "web" and a pointer to that "local".
    const QByteArray asked = header(kId, 0x8400, 1, 2) + kQuestion;
    const QByteArray a = record(printer, 1, 0x8001, QByteArray::fromHex("C6120007"));
    const qsizetype local = asked.size() + 8;
    const QByteArray head = asked + a + pointer(12) + u16(12) + u16(1) + u16(0) + u16(120);
    const qsizetype data = head.size() + 2;
    QTest::newRow("compressed") << head + u16(6) + "\x03web" + pointer(local) << u"web.local"_s;
    QTest::newRow("pointer to itself") << head + u16(2) + pointer(data) << kNone;
    QTest::newRow("pointer back into its own name")
        << head + u16(6) + "\x03web" + pointer(data) << kNone;
    QTest::newRow("pointer forward") << head + u16(2) + pointer(data + 2) + '\0' << kNone;
    QTest::newRow("pointer past the end") << head + u16(2) + pointer(0x3FFF) << kNone;
    QTest::newRow("pointer into the header") << head + u16(2) + pointer(7) << kNone;
    QTest::newRow("name longer than its data")
        << head + u16(3) + "\x03web" + pointer(local) << kNone;

    // The PTR's name a chain of pointers, each in a record of its own, back to an A
    // record's owner; and one that has more records than any answer holds.
    const auto chained = [&](int jumps, int fillers) {
        QByteArray out = header(kId, 0x8400, 1, jumps + fillers + 1) + kQuestion;
        qsizetype target = out.size();
        out += record(name({"web", "local"}), 1, 1, QByteArray::fromHex("C6120007"));
        for (int k = 1; k < jumps; ++k) {
            const QByteArray link = record(name({}), 99, 1, pointer(target));
            target = out.size() + link.size() - 2;
            out += link;
        }
        for (int k = 0; k < fillers; ++k)
            out += record(name({}), 99, 1, {});
        return out + record(pointer(12), 12, 1, pointer(target));
    };
    QTest::newRow("32 jumps") << chained(32, 0) << u"web.local"_s;
    QTest::newRow("33 jumps") << chained(33, 0) << kNone;
    QTest::newRow("64 records") << chained(1, 61) << u"web.local"_s;
    QTest::newRow("65 records") << chained(1, 62) << kNone;
}

void TestLanNamePackets::mdnsReverse()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, expected);
    QCOMPARE(shown(LanNamePackets::parseMdnsReverseResponse(packet, kId, kAsked)), expected);
}

void TestLanNamePackets::mdnsAddress_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("expected");
    const QByteArray web = name({"WEB", "Local"});
    const QByteArray address = QByteArray::fromHex("C6120007");
    const QByteArray v6(16, '\x01');
    QTest::newRow("after an AAAA record")
        << header(kId, 0x8400, 0, 2) + record(web, 28, 0x8001, v6) + record(web, 1, 0x8001, address)
        << u"198.18.0.7"_s;
    QTest::newRow("other id") << header(kId + 1, 0x8400, 0, 1) + record(web, 1, 1, address)
                              << kNone;
    QTest::newRow("other name") << header(kId, 0x8400, 0, 1) +
                                       record(name({"web2", "local"}), 1, 1, address)
                                << kNone;
    QTest::newRow("five bytes") << header(kId, 0x8400, 0, 1) + record(web, 1, 1, address + '\0')
                                << kNone;
    QTest::newRow("only in additional records")
        << header(kId, 0x8400, 0, 0, 1) + record(web, 1, 1, address) << kNone;
    // Two questions, "local" and "web" with a pointer to it; the answer's owner points
    // at the second: after a chain of pointers the record goes on after the first.
    const QByteArray first = name({"local"}) + u16(1) + u16(1);
    const QByteArray second = "\x03web" + pointer(12) + u16(1) + u16(1);
    QTest::newRow("owner a pointer to a pointer")
        << header(kId, 0x8400, 2, 1) + first + second +
               record(pointer(12 + first.size()), 1, 0x8001, address)
        << u"198.18.0.7"_s;
}

void TestLanNamePackets::mdnsAddress()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, expected);
    QCOMPARE(shown(LanNamePackets::parseMdnsAddressResponse(packet, kId, u"web.local"_s)),
             expected);
}

void TestLanNamePackets::truncatedAtEveryLength_data()
{
    using Parse = std::function<QString(QByteArrayView)>;
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<Parse>("parse");
    QTest::newRow("node status") << statusAnswer(1, {entry("WS01", 0x00, 0x0400)})
                                 << Parse([](QByteArrayView p) {
                                        return shown(LanNamePackets::parseNodeStatus(p, 1));
                                    });
    QTest::newRow("name query response")
        << nameResponse(1, 0x8500, kWs01, QByteArray::fromHex("0000C6120007"))
        << Parse([](QByteArrayView p) {
               return shown(LanNamePackets::parseNameQueryResponse(p, 1, u"WS01"_s));
           });
    // Compressed, and with an additional record after the answer.
    const QByteArray asked = header(kId, 0x8400, 1, 1, 1) + kQuestion;
    QTest::newRow("mdns reverse")
        << asked + record(pointer(12), 12, 1, name({"printer", "local"})) +
               record(name({"printer", "local"}), 1, 1, QByteArray::fromHex("C6120007"))
        << Parse([](QByteArrayView p) {
               return shown(LanNamePackets::parseMdnsReverseResponse(p, kId, kAsked));
           });
}

void TestLanNamePackets::truncatedAtEveryLength()
{
    using Parse = std::function<QString(QByteArrayView)>;
    QFETCH(QByteArray, packet);
    QFETCH(Parse, parse);
    QVERIFY(parse(packet) != kNone);
    for (qsizetype size = 0; size < packet.size(); ++size) {
        // A copy of just that size, so that reading past it is a sanitizer's error.
        const QByteArray cut = packet.first(size);
        QVERIFY2(parse(cut) == kNone, qPrintable(u"cut at %1"_s.arg(size)));
    }
}

QTEST_GUILESS_MAIN(TestLanNamePackets)
#include "tst_lannamepackets.moc"
