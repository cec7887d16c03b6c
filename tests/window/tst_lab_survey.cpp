// A real new survey of the lab's /24 through the main window, inside the lab's
// scanner namespace (netlab.sh), with the system's own probes.
#include "WindowHarness.h"

#include "probes/SystemProbes.h"
#include "survey/AddressList.h"
#include "survey/SurveyLists.h"
#include "window/frmNetScp.h"

#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestLabSurvey : public QObject {
    Q_OBJECT
private slots:
    void newSurveyOfTheLabRange();
};

void TestLabSurvey::newSurveyOfTheLabRange()
{
    const QString prefix = qEnvironmentVariable("NETLAB_PREFIX");
    if (prefix.isEmpty())
        QSKIP("runs only inside the network lab (tests/lab/netlab.sh run ...)");
    const QString ownIp = qEnvironmentVariable("NETLAB_OWN_IP");
    const QString ownMac = qEnvironmentVariable("NETLAB_OWN_MAC");
    const QString ownName = qEnvironmentVariable("NETLAB_OWN_NAME");
    QHash<QString, AddressEntry> live;
    for (const QString& host :
         qEnvironmentVariable("NETLAB_HOSTS").split(u' ', Qt::SkipEmptyParts)) {
        const QStringList f = host.split(u',');
        live.insert(f.at(0), {f.at(0), f.at(1), f.at(2)});
    }
    QVERIFY(live.size() >= 8);

    WindowHarness<SystemProbes> h;
    QVERIFY(h.start(20000));
    frmNetScp& w = *h.window;
    const ScriptedMessageBoxes& boxes = h.boxes;

    // Start-up found the lab address, not the loopback one the name might give.
    QCOMPARE(w.txtIp1->text(), ownIp);
    QCOMPARE(w.txtMac1->text(), ownMac);
    const QStringList octets = ownIp.split(u'.');
    QCOMPARE(w.txtIP[0]->text(), octets.at(0));
    QCOMPARE(w.txtIP[2]->text(), octets.at(2));
    QCOMPARE(w.txtIP[3]->text(), u"1"_s);
    QCOMPARE(w.txtIP[7]->text(), u"254"_s);

    QSignalSpy done(&w, &frmNetScp::surveyFinished);
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(h.startSurvey(0), boxes.asked.isEmpty() ? "" : qPrintable(boxes.asked[0].title));
    QVERIFY(done.wait(240000));
    qInfo("a new survey of %s.1-254 took %lld ms", qPrintable(prefix), clock.elapsed());

    QVERIFY2(boxes.asked.isEmpty(), boxes.asked.isEmpty() ? "" : qPrintable(boxes.asked[0].title));
    const QStringList rows = w.lists().lstDat2();
    QCOMPARE(rows.size(), 255);
    QCOMPARE(w.lists().lstDataRows().size(), 255);
    for (int i = 1; i <= 254; ++i) {
        const AddressEntry got = SplitCsvRow(rows.at(i));
        const QString ip = prefix + u'.' + QString::number(i);
        QCOMPARE(got.ip, ip);
        if (ip == ownIp) {
            QCOMPARE(got.host, ownName);
            QCOMPARE(got.mac, ownMac);
        } else if (live.contains(ip)) {
            QCOMPARE(got.host, live[ip].host);
            QCOMPARE(got.mac, live[ip].mac);
        } else {
            QCOMPARE(got.host, QString());
            QCOMPARE(got.mac, QString());
        }
    }
    QCOMPARE(w.windowTitle(), u"Netroscope"_s);
}

QTEST_MAIN(TestLabSurvey)
#include "tst_lab_survey.moc"
