// Vendor names from registry files laid out as Debian's ieee-data lays them out, and
// from a site's own file.
#include "TestFiles.h"

#include "store/VendorRegistry.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

class TestVendorRegistry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void describe_data();
    void describe();

private:
    QTemporaryDir m_dir;
};

void TestVendorRegistry::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir root(m_dir.path());
    QVERIFY(root.mkpath(u"renewed"_s) && root.mkpath(u"package"_s));
    // Enough blocks of one size that sorting them is no longer sorting a handful, the
    // site's over every `step`-th.
    const auto many = [](const char* line, int step = 1) {
        QByteArray lines;
        for (int k = 0; k < 48; k += step)
            lines += QString::fromLatin1(line)
                         .arg(QString::number(k, 16).toUpper().rightJustified(4, u'0'))
                         .toLatin1();
        return lines;
    };
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QVERIFY(TestFiles::writeBytes(root.filePath(name), bytes));
    };
    // The real files' form: CR LF, quoted names and addresses, addresses over several
    // lines, doubled quotes.
    write(u"renewed/oui.csv"_s,
          "Registry,Assignment,Organization Name,Organization Address\r\n"
          "MA-L,70B3D5,IEEE Registration Authority,\"445 Hoes Lane, Piscataway NJ US\"\r\n"
          "MA-L,001A2B,Ayecom Technology Co.,Hsinchu TW\r\n"
          "MA-L,F4F5D8,\"Google, Inc.\",\"1600 Amphitheatre Parkway\nMountain View, CA\"\r\n"
          "MA-L,A8BBCC,\"Broken quote,never closed\r\n"
          "MA-L,001EFC,\"JSC \"\"MASSA-K\"\"\",\"15, A, Pirogovskaya \"\"nab.\"\"\"\r\n"
          "MA-L,XYZ123,Not hex,\r\n"
          "MA-L,00D0EF,,nameless\r\n"
          "MA-L,02005E,Registered on a local prefix,\r\n"
          "MA-L,000000,XEROX CORPORATION,\r\n"
          "MA-L,0050C2,IEEE Registration Authority,\r\n" +
              many("MA-L,10%1,Maker %1,\r\n"));
    // Only the renewed copy counts where there is one.
    write(u"package/oui.csv"_s, "Registry,Assignment,Organization Name,Organization Address\n"
                                "MA-L,001A2B,Stale name,\n"
                                "MA-L,ACDE48,Only in the stale copy,\n");
    // A renewed copy that is a FIFO, which no one writes, leaves the package's too:
    // opening it to read would wait for ever. The rows without files have one as the
    // site's file.
    const auto fifo = [&](const QString& name) {
        QCOMPARE(::mkfifo(QFile::encodeName(root.filePath(name)).constData(), 0600), 0);
    };
    fifo(u"renewed/mam.csv"_s);
    write(u"package/mam.csv"_s, "Registry,Assignment,Organization Name,Organization Address\n"
                                "MA-M,70B3D51,Block28 Ltd,\n");
    write(u"renewed/oui36.csv"_s, "Registry,Assignment,Organization Name,Organization Address\n"
                                  "MA-S,70B3D5123,Block36 Mark,\n"
                                  "MA-S,70B3D5124,Block36 GmbH,\n");
    // A renewed copy that cannot be read leaves the package's.
    QVERIFY(root.mkpath(u"renewed/iab.csv"_s));
    write(u"package/iab.csv"_s, "Registry,Assignment,Organization Name,Organization Address\n"
                                "IAB,0050C2ABC,Iab Maker,\n");
    write(u"vendors.csv"_s, "\xEF\xBB\xBF# the site's own devices\r\n"
                            "\r\n"
                            "00:1A:2B,Front desk printer\r\n"
                            "70-b3-d5-12-3,\"Rack \"\"A\"\"\"\r\n"
                            "70B3D5,Site block\r\n"
                            "02:4E:53,Lab VMs, second floor\r\n"
                            "001122334455,One whole MAC\r\n"
                            "0011223344556,Too long\r\n"
                            "00-12-34,\"unclosed\r\n"
                            "not-a-prefix,Nope\r\n" +
                                many("10%1,Site %1\r\n", 4));
    fifo(u"fifo.csv"_s);
}

void TestVendorRegistry::describe_data()
{
    QTest::addColumn<bool>("withFiles");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("expected");
    const QString local = VendorRegistry::kLocalMark.toString();

    QTest::newRow("36 bits over 28 and 24") << true << u"70-B3-D5-12-4A-BC"_s << u"Block36 GmbH"_s;
    QTest::newRow("28 bits over the site's 24")
        << true << u"70:b3:d5:1f:00:00"_s << u"Block28 Ltd"_s;
    QTest::newRow("the site's 24 over the registry's")
        << true << u"70B3D5F00000"_s << u"Site block"_s;
    QTest::newRow("the site's 24 among many") << true << u"10-00-14-00-00-01"_s << u"Site 0014"_s;
    QTest::newRow("the site's 36 bits, quoted")
        << true << u"70-B3-D5-12-34-56"_s << u"Rack \"A\""_s;
    QTest::newRow("the site over a renewed copy")
        << true << u"00-1a-2b-00-00-01"_s << u"Front desk printer"_s;
    QTest::newRow("a whole MAC from the site")
        << true << u"00-11-22-33-44-55"_s << u"One whole MAC"_s;
    QTest::newRow("its neighbour") << true << u"00-11-22-33-44-56"_s << QString();
    QTest::newRow("after an address over two lines")
        << true << u"F4-F5-D8-01-02-03"_s << u"Google, Inc."_s;
    QTest::newRow("a line with an open quote skipped")
        << true << u"A8-BB-CC-01-02-03"_s << QString();
    QTest::newRow("the line after it read")
        << true << u"00-1E-FC-01-02-03"_s << u"JSC \"MASSA-K\""_s;
    QTest::newRow("no name, no vendor") << true << u"00-D0-EF-01-02-03"_s << QString();
    QTest::newRow("a site line with an open quote") << true << u"00-12-34-00-00-01"_s << QString();
    QTest::newRow("not in the renewed copy") << true << u"AC-DE-48-00-11-22"_s << QString();
    QTest::newRow("fallback past an unreadable copy")
        << true << u"0050.C2AB.C123"_s << u"Iab Maker"_s;
    QTest::newRow("local: the mark") << true << u"02-00-5E-10-00-01"_s << local;
    QTest::newRow("local: the site still names it")
        << true << u"02-4E-53-00-00-0B"_s << u"Lab VMs, second floor"_s;
    QTest::newRow("the all-zero MAC of no answer") << true << u"00-00-00-00-00-00"_s << QString();
    QTest::newRow("a group address") << true << u"01-00-5E-00-00-FB"_s << QString();
    QTest::newRow("five bytes") << true << u"00-1A-2B-00-00"_s << QString();
    QTest::newRow("seven bytes") << true << u"00-1A-2B-00-00-01-02"_s << QString();
    QTest::newRow("no hex") << true << u"00-1A-2B-00-00-0G"_s << QString();
    QTest::newRow("nothing to read: no vendor") << false << u"00-1A-2B-00-00-01"_s << QString();
    QTest::newRow("nothing to read: still the mark") << false << u"02-4E-53-00-00-0B"_s << local;
}

void TestVendorRegistry::describe()
{
    QFETCH(bool, withFiles);
    QFETCH(QString, mac);
    QFETCH(QString, expected);
    const QDir root(m_dir.path());
    const VendorRegistry registry =
        withFiles
            ? VendorRegistry::load({root.filePath(u"missing"_s), root.filePath(u"renewed"_s),
                                    root.filePath(u"package"_s)},
                                   root.filePath(u"vendors.csv"_s))
            : VendorRegistry::load({root.filePath(u"missing"_s)}, root.filePath(u"fifo.csv"_s));
    QCOMPARE(registry.describe(mac), expected);
}

QTEST_GUILESS_MAIN(TestVendorRegistry)
#include "tst_vendorregistry.moc"
