#include "probes/packets/EchoPackets.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Recorded on loopback: the request the program sends for identifier 0x4E53 and
// sequence 0xA1B2, then the kernel's reply as a raw socket reads it.
const QByteArray kZeros(56 * 2, '0');
const QByteArray kRequest = QByteArray::fromHex("080007fa4e53a1b2" + kZeros);
const QByteArray kRawReply =
    QByteArray::fromHex("45000054b17c00004001cb2a7f0000017f00000100000ffa4e53a1b2" + kZeros);
const QByteArray kReply = kRawReply.sliced(20);

QByteArray withType(QByteArray packet, char type, char code)
{
    packet[0] = type;
    packet[1] = code;
    packet[2] = packet[3] = 0;
    const quint16 sum = EchoPackets::checksum(packet);
    packet[2] = char(sum >> 8);
    packet[3] = char(sum);
    return packet;
}

} // namespace

class TestEchoPackets : public QObject {
    Q_OBJECT
private slots:
    void requestIsTheOneOnTheWire();
    void onlyAWholeReplyCounts_data();
    void onlyAWholeReplyCounts();
};

void TestEchoPackets::requestIsTheOneOnTheWire()
{
    QCOMPARE(EchoPackets::request(0x4E53, 0xA1B2), kRequest);
}

// A reply counts with the identifier and sequence it carries, from the address in its
// header (raw socket) or the one the socket names (datagram socket); nothing else does.
void TestEchoPackets::onlyAWholeReplyCounts_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("withIpHeader");
    QTest::addColumn<QString>("read"); // "identifier sequence source", or "none"
    QTest::newRow("a raw socket's") << kRawReply << true << u"4e53 a1b2 7f000001"_s;
    QTest::newRow("a datagram socket's") << kReply << false << u"4e53 a1b2 c6120007"_s;
    QTest::newRow("after a header with options")
        << QByteArray(kRawReply).insert(20, QByteArray(8, '\1')).replace(0, 1, "\x47") << true
        << u"4e53 a1b2 7f000001"_s;
    QTest::newRow("cut short") << kReply.chopped(1) << false << u"none"_s;
    // A zero byte more leaves the checksum right.
    QTest::newRow("a byte longer") << kReply + '\0' << false << u"none"_s;
    QTest::newRow("a byte longer, after its header") << kRawReply + '\0' << true << u"none"_s;
    QTest::newRow("a header too short")
        << QByteArray(kRawReply).replace(0, 1, "\x44") << true << u"none"_s;
    QTest::newRow("not IPv4") << QByteArray(kRawReply).replace(0, 1, "\x65") << true << u"none"_s;
    QTest::newRow("a wrong checksum")
        << QByteArray(kReply).replace(10, 1, "\x01") << false << u"none"_s;
    QTest::newRow("our own request") << kRequest << false << u"none"_s;
    QTest::newRow("an error quoting our request")
        << withType(kReply.first(8) + kRawReply.first(20) + kRequest.first(36), 3, 1) << false
        << u"none"_s;
}

void TestEchoPackets::onlyAWholeReplyCounts()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, withIpHeader);
    QFETCH(QString, read);
    const auto reply = EchoPackets::readReply(packet, withIpHeader, 0xC6120007);
    QCOMPARE(reply ? u"%1 %2 %3"_s.arg(uint(reply->identifier), 4, 16, QChar(u'0'))
                         .arg(uint(reply->sequence), 4, 16, QChar(u'0'))
                         .arg(reply->source, 8, 16, QChar(u'0'))
                   : u"none"_s,
             read);
}

QTEST_GUILESS_MAIN(TestEchoPackets)
#include "tst_echopackets.moc"
