#include "probes/packets/ArpPackets.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Recorded on packet sockets in a lab of namespaces: the kernel's own who-has for
// 198.18.0.11 from 198.18.0.10 as the host read it, and its reply as the PC read it.
const QByteArray kRequest = QByteArray::fromHex("0001080006040001"
                                                "024e5300000ac612000a"
                                                "000000000000c612000b");
const QByteArray kReply = QByteArray::fromHex("0001080006040002"
                                              "024e5300000bc612000b"
                                              "024e5300000ac612000a");

QByteArray with(QByteArray packet, qsizetype at, const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return packet.replace(at, bytes.size(), bytes);
}

} // namespace

class TestArpPackets : public QObject {
    Q_OBJECT
private slots:
    void requestIsTheKernels();
    void onlyAReplyCounts_data();
    void onlyAReplyCounts();
};

// Hosts answer the program's request as they answer the kernel's: it is the same.
void TestArpPackets::requestIsTheKernels()
{
    QCOMPARE(ArpPackets::request(QByteArray::fromHex("024e5300000a"), 0xC612000A, 0xC612000B),
             kRequest);
}

void TestArpPackets::onlyAReplyCounts_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("read"); // "sender MAC target", or "none"
    QTest::newRow("a reply") << kReply << u"c612000b 024e5300000b c612000a"_s;
    QTest::newRow("padded to the shortest frame")
        << kReply + QByteArray(18, '\0') << u"c612000b 024e5300000b c612000a"_s;
    QTest::newRow("cut short") << kReply.chopped(1) << u"none"_s;
    QTest::newRow("a request") << kRequest << u"none"_s;
    QTest::newRow("another operation (RARP)") << with(kReply, 6, "0004") << u"none"_s;
    QTest::newRow("another hardware") << with(kReply, 0, "0006") << u"none"_s;
    QTest::newRow("another protocol") << with(kReply, 2, "86dd") << u"none"_s;
    QTest::newRow("other lengths") << with(kReply, 4, "0804") << u"none"_s;
    QTest::newRow("from the broadcast MAC") << with(kReply, 8, "ffffffffffff") << u"none"_s;
    QTest::newRow("from a multicast MAC") << with(kReply, 8, "01005e000001") << u"none"_s;
    QTest::newRow("from no MAC") << with(kReply, 8, "000000000000") << u"none"_s;
}

void TestArpPackets::onlyAReplyCounts()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, read);
    const auto reply = ArpPackets::readReply(packet);
    QCOMPARE(reply ? u"%1 %2 %3"_s.arg(reply->sender, 8, 16, QChar(u'0'))
                         .arg(QString::fromLatin1(reply->senderMac.toHex()))
                         .arg(reply->target, 8, 16, QChar(u'0'))
                   : u"none"_s,
             read);
}

QTEST_GUILESS_MAIN(TestArpPackets)
#include "tst_arppackets.moc"
