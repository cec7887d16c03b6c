#include "FakeProbes.h"
#include "SettleEvents.h"
#include "TestFiles.h"
#include "WindowHarness.h"

#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "survey/ListChanges.h"
#include "survey/OctetValue.h"
#include "survey/SurveyLists.h"
#include "text/Cp932.h"
#include "text/TextFile.h"
#include "window/ChangeMarkDelegate.h"
#include "window/ChangeMarkModel.h"
#include "window/frmNetScp.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kOwnIp = u"198.18.0.1"_s;
const QString kOwnMac = u"02-00-00-00-00-01"_s;

// One window with scripted probes.
struct Harness : WindowHarness<FakeProbes> {
    explicit Harness(const QString& ownIp = kOwnIp)
    {
        probes->setOwnIdentity({u"scanner"_s, ownIp, kOwnMac});
    }

    void setRange(const QStringList& octets)
    {
        for (int k = 0; k < 8; ++k)
            window->txtIP[k]->setText(octets.at(k));
    }

    void runSurvey(int index)
    {
        QSignalSpy done(window.get(), &frmNetScp::surveyFinished);
        QVERIFY(startSurvey(index));
        QVERIFY(done.wait(5000));
    }
};

QStringList range(const QString& a, const QString& b, const QString& c, const QString& first,
                  const QString& last)
{
    return {a, b, c, first, a, b, c, last};
}

} // namespace

class TestFrmNetScp : public QObject {
    Q_OBJECT
private slots:
    void startupFillsPanelsAndRange_data();
    void startupFillsPanelsAndRange();
    void startupReloadsTheLog();
    void missingToolsEndBeforeTheWindow();
    void idleStateAndFocusAfterStartup();
    void layoutFollowsTheFixedClientArea();
    void validationRefusesFirstBadBoxInOrder_data();
    void validationRefusesFirstBadBoxInOrder();
    void confirmationGuardsAnExistingList();
    void newSurveyFillsListAndRestoresIdle();
    void busyStateShutsOutEverythingButCancel();
    void cancelDuringNewSurveyKeepsEarlierRows();
    void resurveyProbesOnlyBlankRows();
    void cancelDuringResurveyCarriesTheRestOver();
    void runMarksWhatChangedAndKeepsItOutOfTheFiles();
    void vendorNamesAsTooltips();
    void sessionEndDuringResurveySavesEveryEntry();
    void closingDuringPanelProbeStopsIt();
    void sessionEndBeforeTheLogIsReadKeepsIt();
    void calledOffSessionEndDoesNotOutliveItsSurvey();
    void checksNeverOccupyTheSharedPool();
    void probeErrorsAreShownAsBoxes();
    void closeIsRefusedWhileBusyAndSavesAfter();
    void closeWithEmptyListDeletesTheLog();
    void panelInputChecks();
    void panelLookups();
    void panelPingShowsRunningThenResult();
    void panelIgnoresSecondClickWhileRunning();
    void octetFocusCopiesStartIntoEnd();
    void exportWritesTheListAndReportsFailure();
    void importPathsThatChangeNothing();
    void importReplacesTheList();
    void helpOpensHlpThenHtmlElseSaysMissing_data();
    void helpOpensHlpThenHtmlElseSaysMissing();
    void versionShowsTheAboutWindowModally();
    void exitKeepsWhatAnotherProgramWrote_data();
    void exitKeepsWhatAnotherProgramWrote();
    void unreadableLogIsKeptUntilTheListIsReplaced_data();
    void unreadableLogIsKeptUntilTheListIsReplaced();
    void missingConverterStopsBeforeAnyFile();
    void focusFromWindowActivationChangesNothing_data();
    void focusFromWindowActivationChangesNothing();
    void importRunsOffTheGuiThreadWithTheWindowBusy();
    // Last: a quit that goes through ends every event loop that starts after it.
    void applicationQuitClosesEvenDuringASurvey();
};

void TestFrmNetScp::startupFillsPanelsAndRange_data()
{
    QTest::addColumn<QString>("ownIp");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("lab address") << u"198.18.0.1"_s
                                 << QStringList{u"198"_s, u"18"_s, u"0"_s, u"1"_s,
                                                u"198"_s, u"18"_s, u"0"_s, u"254"_s};
    QTest::newRow("octets of different lengths")
        << u"172.16.200.9"_s
        << QStringList{u"172"_s, u"16"_s, u"200"_s, u"1"_s, u"172"_s, u"16"_s, u"200"_s, u"254"_s};
    QTest::newRow("no own address")
        << QString() << QStringList{u"999"_s, u"999"_s, u"999"_s, u"1"_s,
                                    u"999"_s, u"999"_s, u"999"_s, u"254"_s};
}

void TestFrmNetScp::startupFillsPanelsAndRange()
{
    QFETCH(QString, ownIp);
    QFETCH(QStringList, boxes);
    Harness h(ownIp);
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    for (int k = 0; k < 8; ++k)
        QCOMPARE(w.txtIP[k]->text(), boxes.at(k));
    QCOMPARE(w.txtHost1->text(), u"scanner"_s);
    QCOMPARE(w.txtHost2->text(), u"scanner"_s);
    QCOMPARE(w.txtIp1->text(), ownIp);
    QCOMPARE(w.txtIp2->text(), ownIp);
    QCOMPARE(w.txtMac1->text(), kOwnMac);
    QCOMPARE(w.txtMac2->text(), kOwnMac);
    QCOMPARE(w.txtPing1->text(), u"-"_s);
    QCOMPARE(w.txtPing2->text(), u"-"_s);
    QCOMPARE(w.lists().lstDat2(), QStringList{AddressList::csvHeader()});
    QCOMPARE(w.lists().lstDataRows(), QStringList{AddressList::listHeader()});
    QVERIFY(h.boxes.asked.isEmpty());
}

void TestFrmNetScp::startupReloadsTheLog()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,00-11-22-33-44-55\r\n"
                                               "198.18.0.6,,\r\n"));
    QVERIFY(h.load());
    QCOMPARE(h.dat2(), (QStringList{AddressList::csvHeader(),
                                    u"198.18.0.5,pc05,00-11-22-33-44-55"_s, u"198.18.0.6,,"_s}));
    QCOMPARE(h.window->lists().lstDataRows().at(1),
             MakeListRow(u"198.18.0.5"_s, u"pc05"_s, u"00-11-22-33-44-55"_s));
}

void TestFrmNetScp::missingToolsEndBeforeTheWindow()
{
    Harness h;
    const QByteArray log = "198.18.0.5,pc05,\r\n";
    QVERIFY(TestFiles::writeBytes(h.logPath(), log));
    h.probes->setToolsPresent(false);
    frmNetScp& w = h.create();
    QVERIFY(!w.Form_Load());
    QCOMPARE(h.boxes.asked.size(), 1);
    QCOMPARE(h.boxes.asked[0].text,
             u"必要なＤＬＬがありません\r\n申し訳ありませんがこのパソコンでは使用できません"_s);
    QCOMPARE(h.boxes.asked[0].title, u"終了"_s);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkCritical);
    QVERIFY(!w.isVisible());
    QCOMPARE(h.probes->callCount(FakeProbes::kOwnIdentity), 0);
    // The program ends without unloading: the log is neither read nor written.
    h.window.reset();
    QCOMPARE(TestFiles::readBytes(h.logPath()), log);
}

void TestFrmNetScp::idleStateAndFocusAfterStartup()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    QVERIFY(!w.cmdCancel->isEnabled());
    for (QWidget* c : QList<QWidget*>{w.txtHost1, w.txtIp2, w.cmd11, w.cmd12, w.cmd21, w.cmd22,
                                      w.cmdStart[0], w.cmdStart[1], w.cmdSave, w.lstData})
        QVERIFY(c->isEnabled());
    QVERIFY(w.mnuInport->isEnabled() && w.mnuHelp->isEnabled() && w.mnuVer->isEnabled());
    QCOMPARE(w.windowTitle(), u"Netroscope"_s);
    QTRY_VERIFY(w.txtHost1->hasFocus());
    QTRY_COMPARE(w.txtHost1->selectedText(), u"scanner"_s);
}

void TestFrmNetScp::layoutFollowsTheFixedClientArea()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    QCOMPARE(w.centralWidget()->size(), QSize(530, 517));
    // The icon is compiled into the program, in both sizes the title bar and task bar use.
    QCOMPARE(w.windowIcon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}}));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.cmdStart[0]->geometry(), QRect(392, 24, 97, 33));
    QCOMPARE(w.lstData->geometry(), QRect(8, 152, 497, 196));
    QCOMPARE(w.cmdStart[1]->toolTip(),
             u"アドレス一覧作成\u3000リストのHOST,MACに空欄があるIPアドレスのみ再調査"_s);
    QCOMPARE(w.txtIP[0]->accessibleName(), u"開始アドレス 第1オクテット"_s);
    QCOMPARE(w.cmd11->accessibleDescription(), u"HOST名をIPアドレスに変換"_s);
    // A screen reader tells the four arrow buttons apart by what they do.
    QSet<QString> arrowNames;
    for (QPushButton* arrow : {w.cmd11, w.cmd12, w.cmd21, w.cmd22}) {
        QCOMPARE(arrow->accessibleName(), arrow->toolTip());
        arrowNames.insert(arrow->accessibleName());
    }
    QCOMPARE(arrowNames.size(), 4);
    QVERIFY(w.txtIp1->isReadOnly() && w.txtIP[5]->isReadOnly());
    QVERIFY(!w.txtIP[7]->isReadOnly());
    QCOMPARE(w.txtIP[3]->maxLength(), 3);
}

void TestFrmNetScp::validationRefusesFirstBadBoxInOrder_data()
{
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("focus");
    QTest::newRow("all 999: the first box") << QStringList(8, u"999"_s) << 0;
    QTest::newRow("fourth octet 0") << range(u"198"_s, u"18"_s, u"0"_s, u"0"_s, u"254"_s) << 3;
    QTest::newRow("end octet 255") << range(u"198"_s, u"18"_s, u"0"_s, u"1"_s, u"255"_s) << 7;
    QTest::newRow("copy box checked too")
        << QStringList{u"198"_s, u"18"_s, u"0"_s, u"1"_s, u"198"_s, u"256"_s, u"0"_s, u"254"_s}
        << 5;
    QTest::newRow("a fraction is no octet")
        << range(u"198"_s, u"1.5"_s, u"0"_s, u"1"_s, u"254"_s) << 1;
}

void TestFrmNetScp::validationRefusesFirstBadBoxInOrder()
{
    QFETCH(QStringList, boxes);
    QFETCH(int, focus);
    Harness h;
    QVERIFY(h.load());
    h.setRange(boxes);
    h.window->cmdStart[0]->click();
    QCOMPARE(h.boxes.asked.size(), 1);
    QCOMPARE(h.boxes.asked[0].text, OctetValue::rangeMessage());
    QCOMPARE(h.boxes.asked[0].title, u"調査中止"_s);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkInformation);
    QTRY_VERIFY(h.window->txtIP[focus]->hasFocus());
    QVERIFY(h.window->cmdStart[0]->isEnabled());
    QCOMPARE(h.probes->callCount(FakeProbes::kIpToHost), 0);
}

void TestFrmNetScp::confirmationGuardsAnExistingList()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,\r\n"));
    QVERIFY(h.load());
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"10"_s, u"11"_s));
    const QStringList before = h.dat2();
    h.boxes.answers = {MessageBoxes::No};
    h.window->cmdStart[0]->click();
    QCOMPARE(h.boxes.asked.size(), 1);
    QCOMPARE(h.boxes.asked[0].text, u"今まで調査した履歴がなくなりますが、よろしいですか？"_s);
    QCOMPARE(h.boxes.asked[0].title, u"新規調査"_s);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::YesNoQuestion);
    QCOMPARE(h.dat2(), before);
    QVERIFY(h.window->cmdStart[0]->isEnabled());

    h.boxes.answers = {MessageBoxes::Yes};
    h.runSurvey(0);
    QCOMPARE(h.dat2(),
             (QStringList{AddressList::csvHeader(), u"198.18.0.10,,"_s, u"198.18.0.11,,"_s}));
}

void TestFrmNetScp::newSurveyFillsListAndRestoresIdle()
{
    Harness h;
    QVERIFY(h.load());
    h.probes->setScript(u"198.18.0.2"_s, {u"printer"_s, true, u"00-11-22-33-44-55"_s});
    h.probes->setScript(u"198.18.0.3"_s, {u"nas"_s, false, {}});
    h.setRange(range(u"198"_s, u"018"_s, u"0"_s, u"1"_s, u"4"_s));
    QSignalSpy titles(h.window.get(), &QWidget::windowTitleChanged);
    h.runSurvey(0);
    QVERIFY(h.boxes.asked.isEmpty()); // header-only list: no question
    QCOMPARE(h.dat2(), (QStringList{AddressList::csvHeader(), u"198.18.0.1,scanner,"_s + kOwnMac,
                                    u"198.18.0.2,printer,00-11-22-33-44-55"_s, u"198.18.0.3,nas,"_s,
                                    u"198.18.0.4,,"_s}));
    QCOMPARE(h.window->lists().lstDataRows().at(2),
             MakeListRow(u"198.18.0.2"_s, u"printer"_s, u"00-11-22-33-44-55"_s));
    QStringList seen;
    for (const QList<QVariant>& args : titles)
        seen.append(args.at(0).toString());
    QCOMPARE(seen, (QStringList{u"1/4"_s, u"2/4"_s, u"3/4"_s, u"4/4"_s, u"Netroscope"_s}));
    // The own address is answered from the identity; no probe runs for it.
    QCOMPARE(h.probes->callCount(FakeProbes::kIpToHost, kOwnIp), 0);
    QCOMPARE(h.probes->callCount(FakeProbes::kMacOf, u"198.18.0.3"_s), 0);
    QVERIFY(h.window->cmdStart[0]->isEnabled());
    QVERIFY(!h.window->cmdCancel->isEnabled());
    QCOMPARE(h.window->lstData->currentIndex().row(), 4);
}

void TestFrmNetScp::busyStateShutsOutEverythingButCancel()
{
    Harness h;
    QVERIFY(h.load());
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"3"_s));
    h.probes->hold(FakeProbes::kPing);
    frmNetScp& w = *h.window;
    w.cmdStart[0]->click();
    QTRY_VERIFY(h.probes->waitingCount() >= 1);
    const QList<QWidget*> shut{w.txtHost1, w.txtIp2,      w.cmd11,       w.cmd12,    w.cmd21,
                               w.cmd22,    w.txtIP[0],    w.txtIP[1],    w.txtIP[2], w.txtIP[3],
                               w.txtIP[7], w.cmdStart[0], w.cmdStart[1], w.cmdSave};
    for (QWidget* c : shut)
        QVERIFY2(!c->isEnabled(), qPrintable(c->accessibleName()));
    QVERIFY(!w.mnuInport->isEnabled() && !w.mnuHelp->isEnabled() && !w.mnuVer->isEnabled());
    QVERIFY(w.cmdCancel->isEnabled());
    QVERIFY(w.lstData->isEnabled());

    // Tab from the cancel button never lands on a disabled control.
    w.cmdCancel->setFocus();
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() && QApplication::focusWidget()->isEnabled());
    }
    QSignalSpy done(&w, &frmNetScp::surveyFinished);
    h.probes->releaseAll();
    QVERIFY(done.wait(5000));
    for (QWidget* c : shut)
        QVERIFY(c->isEnabled());
    QVERIFY(w.mnuInport->isEnabled());
}

void TestFrmNetScp::cancelDuringNewSurveyKeepsEarlierRows()
{
    Harness h;
    QVERIFY(h.load());
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"40"_s));
    h.probes->hold(FakeProbes::kPing, u"198.18.0.5"_s);
    frmNetScp& w = *h.window;
    QSignalSpy done(&w, &frmNetScp::surveyFinished);
    w.cmdStart[0]->click();
    QTRY_COMPARE(w.lists().lstDat2().size(), 4); // header, .2, .3, .4
    // Through the event queue, as a real click arrives: after the run's own events.
    QMetaObject::invokeMethod(w.cmdCancel, &QPushButton::click, Qt::QueuedConnection);
    QTRY_VERIFY(w.blnCancel());
    // The address being probed finishes and gets its entry; nothing after it does.
    QTRY_VERIFY(h.probes->running() <= 1);
    QVERIFY(w.cmdCancel->isEnabled());
    h.probes->releaseAll();
    QVERIFY(done.wait(5000));
    QCOMPARE(w.lists().lstDat2().size(), 5);
    QCOMPARE(w.lists().lstDat2().last(), u"198.18.0.5,,"_s);
    QCOMPARE(w.windowTitle(), u"Netroscope"_s);
    QTRY_COMPARE(h.probes->running(), 0);
}

void TestFrmNetScp::resurveyProbesOnlyBlankRows()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,00-00-00-00-00-05\r\n"
                                               "198.18.0.6,pc06,\r\n"
                                               "198.18.0.7,,\r\n"
                                               "198.18.0.8,,,extra\r\n"));
    QVERIFY(h.load());
    h.probes->setScript(u"198.18.0.7"_s, {{}, true, u"00-00-00-00-00-07"_s});
    QSignalSpy titles(h.window.get(), &QWidget::windowTitleChanged);
    h.runSurvey(1);
    QVERIFY(h.boxes.asked.isEmpty());
    QCOMPARE(h.dat2(), (QStringList{AddressList::csvHeader(),
                                    u"198.18.0.5,pc05,00-00-00-00-00-05"_s, u"198.18.0.6,pc06,"_s,
                                    u"198.18.0.7,,00-00-00-00-00-07"_s, u"198.18.0.8,,"_s}));
    QCOMPARE(h.probes->callCount(FakeProbes::kIpToHost, u"198.18.0.5"_s), 0);
    QStringList seen;
    for (const QList<QVariant>& args : titles)
        seen.append(args.at(0).toString());
    // Progress counts against the entries of the list, not the end octet box.
    QCOMPARE(seen, (QStringList{u"1/4"_s, u"2/4"_s, u"3/4"_s, u"4/4"_s, u"Netroscope"_s}));
}

namespace {
const QByteArray kFourBlankRows =
    "198.18.0.5,,\r\n198.18.0.6,,\r\n198.18.0.7,,\r\n198.18.0.8,old8,\r\n";
}

void TestFrmNetScp::cancelDuringResurveyCarriesTheRestOver()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), kFourBlankRows));
    QVERIFY(h.load());
    h.probes->setDefaultScript({u"found"_s, true, u"00-00-00-00-00-AA"_s});
    h.probes->hold(FakeProbes::kPing, u"198.18.0.7"_s);
    frmNetScp& w = *h.window;
    QSignalSpy done(&w, &frmNetScp::surveyFinished);
    w.cmdStart[1]->click();
    QTRY_COMPARE(w.lists().lstDat2().size(), 3);
    // Through the event queue, as a real click arrives: after the run's own events.
    QMetaObject::invokeMethod(w.cmdCancel, &QPushButton::click, Qt::QueuedConnection);
    h.probes->releaseAll();
    QVERIFY(done.wait(5000));
    // The entry being probed is finished, the one after it carried over.
    QCOMPARE(h.dat2(),
             (QStringList{AddressList::csvHeader(), u"198.18.0.5,found,00-00-00-00-00-AA"_s,
                          u"198.18.0.6,found,00-00-00-00-00-AA"_s,
                          u"198.18.0.7,found,00-00-00-00-00-AA"_s, u"198.18.0.8,old8,"_s}));
    QCOMPARE(w.lists().lstDataRows().size(), 5);
}

void TestFrmNetScp::runMarksWhatChangedAndKeepsItOutOfTheFiles()
{
    using Kind = ListChange::Kind;
    struct Row {
        QString ip;
        QByteArray before; // its log line, empty when the log has none
        FakeProbes::Script after;
        int kind; // -1: no mark
        QString mark;
    };
    const QList<Row> table{
        {u"198.18.0.2"_s,
         "198.18.0.2,pc02,00-11-22-33-44-02",
         {u"pc02"_s, true, u"00-11-22-33-44-02"_s},
         -1,
         {}},
        {u"198.18.0.3"_s,
         "198.18.0.3,pc03,00-11-22-33-44-03",
         {u"pc03"_s, true, u"00-11-22-33-44-99"_s},
         int(Kind::Changed),
         u"MAC変更（前回: 00-11-22-33-44-03）"_s},
        {u"198.18.0.4"_s,
         "198.18.0.4,phone,02-00-00-00-00-04",
         {},
         int(Kind::Gone),
         u"不在（前回: 02-00-00-00-00-04）、ローカル/ランダムMAC"_s},
        {u"198.18.0.5"_s,
         {},
         {u"nas"_s, true, u"00-11-22-33-44-05"_s},
         int(Kind::New),
         u"新規（前回: なし）"_s},
        {u"198.18.0.6"_s,
         "198.18.0.6,pc06,00-11-22-33-44-06",
         {u"printer"_s, true, u"00-11-22-33-44-06"_s},
         int(Kind::Renamed),
         u"名前変更（前回: pc06）"_s},
        // The device that left .7 is found at .8: one mark, where it is now.
        {u"198.18.0.7"_s, "198.18.0.7,tv,00-11-22-33-44-07", {}, -1, {}},
        {u"198.18.0.8"_s,
         "198.18.0.8,,",
         {u"tv"_s, true, u"00-11-22-33-44-07"_s},
         int(Kind::Moved),
         u"移動（前回: 198.18.0.7）"_s},
    };
    QByteArray beforeLog, afterLog;
    for (const Row& row : table) {
        if (!row.before.isEmpty())
            beforeLog += row.before + "\r\n";
        afterLog += MakeCsvRow(row.ip, row.after.host, row.after.mac).toLatin1() + "\r\n";
    }
    // The same run over a list that already holds its outcome: nothing to mark.
    Harness h, plain;
    QVERIFY(TestFiles::writeBytes(h.logPath(), beforeLog));
    QVERIFY(TestFiles::writeBytes(plain.logPath(), afterLog));
    for (Harness* run : {&h, &plain}) {
        QVERIFY(run->load());
        for (const Row& row : table)
            run->probes->setScript(row.ip, row.after);
        run->setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"8"_s));
        run->boxes.answers.append(MessageBoxes::Yes);
        run->runSurvey(0);
    }
    const QAbstractItemModel* shown = h.window->lstData->model();
    const QAbstractItemModel* plainShown = plain.window->lstData->model();
    const auto kindAt = [](const QAbstractItemModel* m, int row) {
        const QVariant kind = m->data(m->index(row, 0), ChangeMarkModel::KindRole);
        return kind.isValid() ? kind.toInt() : -1;
    };
    QCOMPARE(shown->rowCount(), table.size() + 1);
    QCOMPARE(kindAt(shown, 0), -1); // the header
    for (int r = 1; r <= table.size(); ++r) {
        const Row& row = table[r - 1];
        const QModelIndex at = shown->index(r, 0);
        QCOMPARE(kindAt(shown, r), row.kind);
        QCOMPARE(at.data(Qt::ToolTipRole).toString(), row.mark);
        QCOMPARE(at.data(Qt::AccessibleDescriptionRole).toString(), row.mark);
        const QString text = at.data(Qt::DisplayRole).toString();
        QCOMPARE(at.data(Qt::AccessibleTextRole).toString(),
                 row.mark.isEmpty() ? QString() : text + u"、"_s + row.mark);
        QCOMPARE(kindAt(plainShown, r), -1);
        QCOMPARE(text, plainShown->index(r, 0).data().toString());
        QCOMPARE(text, h.window->lists().lstDataRows().at(r));
    }
    // Each kind's character at least as tall as the list font's size, yet within a row.
    for (int kind = int(Kind::New); kind <= int(Kind::Moved); ++kind) {
        const auto [symbol, font] = changeMarkGlyph(Kind(kind), h.window->lstData->font());
        const int tall = QFontMetrics(font).tightBoundingRect(symbol).height();
        QVERIFY(tall >= QFontInfo(h.window->lstData->font()).pixelSize() &&
                tall < h.window->lstData->sizeHintForRow(1));
    }
    // Optionally, a picture of the marks to look at.
    if (const QString shot = qEnvironmentVariable("NETROSCOPE_MARKS_SHOT"); !shot.isEmpty())
        QVERIFY(h.window->grab().save(shot));

    for (Harness* run : {&h, &plain}) {
        run->dialogs.paths = {run->dir.filePath(u"out.csv"_s)};
        run->window->cmdSave->click();
        run->window->sessionEnding(); // writes the log now
    }
    const QByteArray csv = TestFiles::readBytes(h.dir.filePath(u"out.csv"_s));
    QVERIFY(csv.endsWith("\r\n" + afterLog));
    QCOMPARE(csv, TestFiles::readBytes(plain.dir.filePath(u"out.csv"_s)));
    QCOMPARE(TestFiles::readBytes(h.logPath()), afterLog);
    QCOMPARE(TestFiles::readBytes(plain.logPath()), afterLog);

    // The next run starts without marks and compares with the list it began from.
    h.probes->setScript(u"198.18.0.2"_s, {u"pc02"_s, true, u"00-11-22-33-44-22"_s});
    h.probes->hold(FakeProbes::kPing, u"198.18.0.8"_s);
    h.boxes.answers.append(MessageBoxes::Yes);
    QSignalSpy done(h.window.get(), &frmNetScp::surveyFinished);
    QVERIFY(h.startSurvey(0));
    QTRY_COMPARE(h.dat2().size(), 7);
    for (int r = 0; r < shown->rowCount(); ++r)
        QCOMPARE(kindAt(shown, r), -1);
    h.probes->releaseAll();
    QVERIFY(done.wait(5000));
    for (int r = 1; r <= table.size(); ++r)
        QCOMPARE(kindAt(shown, r), r == 1 ? int(Kind::Changed) : -1);
    QCOMPARE(shown->index(1, 0).data(Qt::ToolTipRole).toString(),
             u"MAC変更（前回: 00-11-22-33-44-02）"_s);

    // An import replaces the list, and the marks with it.
    const QString file = h.dir.filePath(u"list.csv"_s);
    QVERIFY(TestFiles::writeBytes(file, "IP,HOST,MAC\r\n" + beforeLog));
    QVERIFY(h.importFile(file));
    QCOMPARE(shown->rowCount(), 7);
    for (int r = 0; r < shown->rowCount(); ++r)
        QCOMPARE(kindAt(shown, r), -1);
}

void TestFrmNetScp::vendorNamesAsTooltips()
{
    Harness h;
    h.vendors = [] {
        return VendorRegistry::fromText({"MA-L,001122,Maker One,\n"}, "02:00:00:00:00:01,This PC");
    };
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,00-11-22-33-44-55\r\n"
                                               "198.18.0.6,phone,02-00-00-00-00-06\r\n"
                                               "198.18.0.7,,\r\n"));
    frmNetScp& w = h.create();
    QSignalSpy loaded(&w, &frmNetScp::loaded);
    QSignalSpy vendors(&w, &frmNetScp::vendorsLoaded);
    QVERIFY(w.Form_Load());
    QVERIFY(loaded.count() > 0 || loaded.wait(5000));
    QVERIFY(vendors.count() > 0 || vendors.wait(5000));

    const QAbstractItemModel* shown = w.lstData->model();
    const auto tip = [shown](int row) {
        return shown->index(row, 0).data(Qt::ToolTipRole).toString();
    };
    QCOMPARE(tip(0), QString());
    QCOMPARE(tip(1), u"Maker One"_s);
    QCOMPARE(tip(2), u"ローカル/ランダム"_s);
    QCOMPARE(tip(3), QString());
    QCOMPARE(w.txtMac1->toolTip(), u"This PC"_s);
    QCOMPARE(w.txtMac2->toolTip(), u"This PC"_s);
    // Optionally, a picture of a row's tooltip to look at.
    if (const QString shot = qEnvironmentVariable("NETROSCOPE_VENDOR_SHOT"); !shot.isEmpty()) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect at = w.lstData->visualRect(shown->index(1, 0));
        QToolTip::showText(w.lstData->viewport()->mapToGlobal(at.center()), tip(1),
                           w.lstData->viewport());
        QTest::qWait(300);
        QVERIFY(w.screen()->grabWindow(0).save(shot));
    }

    // The vendor above what the run changed; the rows as they were.
    h.probes->setScript(u"198.18.0.5"_s, {u"pc05"_s, true, u"00-11-22-33-44-99"_s});
    h.probes->setScript(u"198.18.0.6"_s, {u"phone"_s, true, u"02-00-00-00-00-66"_s});
    h.probes->setScript(u"198.18.0.7"_s, {u"pc07"_s, true, u"00-AA-BB-00-00-07"_s});
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"5"_s, u"7"_s));
    h.boxes.answers.append(MessageBoxes::Yes);
    h.runSurvey(0);
    QCOMPARE(tip(1), u"Maker One\nMAC変更（前回: 00-11-22-33-44-55）"_s);
    QCOMPARE(tip(2), u"MAC変更（前回: 02-00-00-00-00-06）、ローカル/ランダムMAC"_s);
    QCOMPARE(tip(3), u"新規（前回: なし）"_s);
    QCOMPARE(w.lists().lstDataRows().at(1),
             MakeListRow(u"198.18.0.5"_s, u"pc05"_s, u"00-11-22-33-44-99"_s));

    // A panel's MAC box says whose MAC it shows, and nothing once it is cleared.
    h.probes->setScript(u"198.18.0.5"_s, {u"pc05"_s, true, u"00-11-22-33-44-99"_s});
    w.txtIp2->setText(u"198.18.0.5"_s);
    QSignalSpy checked(&w, &frmNetScp::checkFinished);
    w.cmd22->click();
    QCOMPARE(w.txtMac2->toolTip(), QString());
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtMac2->toolTip(), u"Maker One"_s);
}

void TestFrmNetScp::sessionEndDuringResurveySavesEveryEntry()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), kFourBlankRows));
    QVERIFY(h.load());
    h.probes->setDefaultScript({u"found"_s, true, u"00-00-00-00-00-AA"_s});
    h.probes->hold(FakeProbes::kPing, u"198.18.0.7"_s);
    frmNetScp& w = *h.window;
    w.cmdStart[1]->click();
    QTRY_COMPARE(w.lists().lstDat2().size(), 3);
    // The entries the re-survey has not rebuilt yet must reach the log as they were.
    w.sessionEnding();
    const QByteArray saved =
        "198.18.0.5,found,00-00-00-00-00-AA\r\n198.18.0.6,found,00-00-00-00-00-AA\r\n"
        "198.18.0.7,,\r\n198.18.0.8,old8,\r\n";
    QCOMPARE(TestFiles::readBytes(h.logPath()), saved);
    // Until the application quits, the survey goes on: a session end that is called
    // off lets no close through.
    QVERIFY(!w.close());
    QCOMPARE(TestFiles::readBytes(h.logPath()), saved);
    h.window.reset();
    QCOMPARE(h.probes->running(), 0);
}

void TestFrmNetScp::closingDuringPanelProbeStopsIt()
{
    Harness h;
    QVERIFY(h.load());
    h.probes->hold(FakeProbes::kPing);
    h.window->txtIp2->setText(u"198.18.0.2"_s);
    h.window->cmd22->click();
    QTRY_COMPARE(h.probes->waitingCount(), 1);
    QVERIFY(h.window->close());
    h.window.reset();
    // The held ping gives up on its stop token; its result reaches no window.
    QTRY_COMPARE(h.probes->running(), 0);
    QCOMPARE(h.probes->stoppedCount(), 1);
    settleEvents();
}

void TestFrmNetScp::sessionEndBeforeTheLogIsReadKeepsIt()
{
    Harness h;
    const QByteArray log = "198.18.0.5,pc05,\r\n";
    QVERIFY(TestFiles::writeBytes(h.logPath(), log));
    h.probes->hold(FakeProbes::kOwnIdentity);
    frmNetScp& w = h.create();
    QSignalSpy loaded(&w, &frmNetScp::loaded);
    QVERIFY(w.Form_Load());
    QTRY_COMPARE(h.probes->waitingCount(), 1);
    w.sessionEnding();
    QVERIFY(w.close());
    QCOMPARE(TestFiles::readBytes(h.logPath()), log);
    h.probes->releaseAll();
    QVERIFY(loaded.wait(5000));
    QCOMPARE(h.dat2().size(), 2);
}

void TestFrmNetScp::calledOffSessionEndDoesNotOutliveItsSurvey()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    w.sessionEnding(); // and then the user calls the log-out off
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"3"_s));
    h.probes->hold(FakeProbes::kPing);
    QSignalSpy done(&w, &frmNetScp::surveyFinished);
    w.cmdStart[0]->click();
    QTRY_VERIFY(h.probes->waitingCount() >= 1);
    QVERIFY(!w.close());
    h.probes->releaseAll();
    QVERIFY(done.wait(5000));
}

void TestFrmNetScp::checksNeverOccupyTheSharedPool()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    h.probes->hold(FakeProbes::kHostToIp);
    h.probes->hold(FakeProbes::kPing);
    w.cmd11->click();
    w.cmd22->click();
    QTRY_COMPARE(h.probes->waitingCount(), 2);
    // Qt paints with the shared pool (briefly); a lookup held there would keep a
    // thread of it for as long as it waits, and could freeze the window.
    QTRY_COMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    w.repaint();
    QSignalSpy checked(&w, &frmNetScp::checkFinished);
    h.probes->releaseAll();
    QTRY_COMPARE(checked.count(), 2);
}

void TestFrmNetScp::probeErrorsAreShownAsBoxes()
{
    Harness h;
    QVERIFY(h.load());
    FakeProbes::Script broken;
    broken.pingError = true;
    h.probes->setScript(u"198.18.0.3"_s, broken);
    FakeProbes::Script noArp{u"h4"_s, true, {}};
    noArp.macError = true;
    h.probes->setScript(u"198.18.0.4"_s, noArp);
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"5"_s));
    h.runSurvey(0);
    QCOMPARE(h.boxes.asked.size(), 2);
    QCOMPARE(h.boxes.asked[0].text, u"何かエラーになりました。"_s);
    QCOMPARE(h.boxes.asked[0].title, u"エラー subPing"_s);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkExclamation);
    QCOMPARE(h.boxes.asked[1].title, u"エラー subMacGet"_s);
    QCOMPARE(h.dat2().at(2), u"198.18.0.3,,"_s);
    QCOMPARE(h.dat2().at(3), u"198.18.0.4,h4,"_s);
}

void TestFrmNetScp::closeIsRefusedWhileBusyAndSavesAfter()
{
    Harness h;
    QVERIFY(h.load());
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"3"_s));
    h.probes->hold(FakeProbes::kPing);
    frmNetScp& w = *h.window;
    QSignalSpy done(&w, &frmNetScp::surveyFinished);
    w.cmdStart[0]->click();
    QTRY_VERIFY(h.probes->waitingCount() >= 1);
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QVERIFY(h.boxes.asked.isEmpty());
    QVERIFY(!QFile::exists(h.logPath()));
    h.probes->releaseAll();
    QVERIFY(done.wait(5000));
    QVERIFY(w.close());
    QCOMPARE(TestFiles::readBytes(h.logPath()), QByteArray("198.18.0.2,,\r\n198.18.0.3,,\r\n"));
}

void TestFrmNetScp::closeWithEmptyListDeletesTheLog()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,\r\n"));
    QVERIFY(h.load());
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"9"_s, u"8"_s)); // start after end: no rows
    h.boxes.answers = {MessageBoxes::Yes};
    h.runSurvey(0);
    QCOMPARE(h.dat2(), QStringList{AddressList::csvHeader()});
    QVERIFY(h.window->close());
    QVERIFY(!QFile::exists(h.logPath()));
}

void TestFrmNetScp::panelInputChecks()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    w.txtPing2->setText(u"成功"_s);
    w.txtMac2->setText(u"AA"_s);
    w.txtIp2->clear();
    w.cmd22->click();
    w.cmd21->click();
    w.txtHost1->clear();
    w.cmd11->click();
    w.cmd12->click();
    QCOMPARE(h.boxes.asked.size(), 4);
    QCOMPARE(h.boxes.asked[0].text, u"IPアドレスを入れてくれよ～"_s);
    QCOMPARE(h.boxes.asked[1].text, u"IPアドレスを入れてくれよ～"_s);
    QCOMPARE(h.boxes.asked[2].text, u"HOST名を入れてくれよ～"_s);
    QCOMPARE(h.boxes.asked[3].text, u"HOST名を入れてくれよ～"_s);
    for (const auto& asked : h.boxes.asked) {
        QCOMPARE(asked.title, u"入力ミス"_s);
        QCOMPARE(asked.style, MessageBoxes::OkInformation);
    }
    QCOMPARE(w.txtPing2->text(), u"成功"_s);
    QCOMPARE(w.txtMac2->text(), u"AA"_s);
    for (const QString& probe : {FakeProbes::kHostToIp, FakeProbes::kIpToHost, FakeProbes::kPing})
        QCOMPARE(h.probes->callCount(probe), 0);
}

void TestFrmNetScp::panelLookups()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    h.probes->setHostToIp(u"printer"_s, u"198.18.0.2"_s);
    h.probes->setScript(u"198.18.0.2"_s, {u"printer.lab"_s, true, {}});
    QSignalSpy checked(&w, &frmNetScp::checkFinished);

    w.txtHost1->setText(u"printer"_s);
    w.cmd11->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtIp1->text(), u"198.18.0.2"_s);

    w.txtHost1->setText(u"nobody"_s);
    w.cmd11->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtIp1->text(), u"取得失敗"_s);

    w.txtIp2->setText(u"198.18.0.2"_s);
    w.cmd21->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtHost2->text(), u"printer.lab"_s);

    w.txtIp2->setText(u"198.18.0.99"_s);
    w.cmd21->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtHost2->text(), u"取得失敗"_s);
}

void TestFrmNetScp::panelPingShowsRunningThenResult()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    h.probes->setScript(u"198.18.0.2"_s, {u"p"_s, true, u"00-11-22-33-44-55"_s});
    QSignalSpy checked(&w, &frmNetScp::checkFinished);

    // Right after start-up the host panel pings the own address shown in txtIp1.
    h.probes->hold(FakeProbes::kPing);
    w.cmd12->click();
    QCOMPARE(w.txtPing1->text(), u"実行中"_s);
    QCOMPARE(w.txtMac1->text(), QString());
    QTRY_COMPARE(h.probes->waitingCount(), 1);
    QCOMPARE(h.probes->argumentsOf(FakeProbes::kPing), QStringList{kOwnIp});
    h.probes->releaseAll();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtPing1->text(), u"失敗"_s); // the fake's own address does not answer

    w.txtIp2->setText(u"198.18.0.2"_s);
    w.cmd22->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtPing2->text(), u"成功"_s);
    QCOMPARE(w.txtMac2->text(), u"00-11-22-33-44-55"_s);

    w.txtIp2->setText(u"198.18.0.77"_s);
    w.cmd22->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtPing2->text(), u"失敗"_s);
    QCOMPARE(w.txtMac2->text(), QString());
    QVERIFY(h.boxes.asked.isEmpty());
}

void TestFrmNetScp::panelIgnoresSecondClickWhileRunning()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    h.probes->hold(FakeProbes::kPing);
    QSignalSpy checked(&w, &frmNetScp::checkFinished);
    w.txtIp2->setText(u"198.18.0.2"_s);
    w.cmd22->click();
    QTRY_COMPARE(h.probes->waitingCount(), 1);
    w.cmd22->click();
    w.cmd21->click();
    // The other panel and the survey stay usable meanwhile.
    QVERIFY(w.cmd11->isEnabled() && w.cmdStart[0]->isEnabled());
    h.probes->setHostToIp(u"scanner"_s, kOwnIp);
    w.cmd11->click();
    QVERIFY(checked.wait(5000));
    QCOMPARE(w.txtIp1->text(), kOwnIp);
    h.probes->releaseAll();
    QVERIFY(checked.wait(5000));
    QCOMPARE(h.probes->callCount(FakeProbes::kPing), 1);
    QCOMPARE(h.probes->callCount(FakeProbes::kIpToHost), 0);
}

void TestFrmNetScp::octetFocusCopiesStartIntoEnd()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    w.txtIP[1]->setFocus();
    QTRY_VERIFY(w.txtIP[1]->hasFocus());
    QTRY_COMPARE(w.txtIP[1]->selectedText(), u"18"_s); // entering selects the whole text
    QTest::keyClicks(w.txtIP[1], u"10"_s);
    QCOMPARE(w.txtIP[1]->text(), u"10"_s);
    QTest::keyClick(w.txtIP[1], Qt::Key_Tab);
    QTRY_VERIFY(w.txtIP[2]->hasFocus());
    QCOMPARE(w.txtIP[5]->text(), u"10"_s);

    QTest::keyClicks(w.txtIP[2], u"7"_s);
    QTest::keyClick(w.txtIP[2], Qt::Key_Tab); // to txtIP(3)
    QTRY_VERIFY(w.txtIP[3]->hasFocus());
    QCOMPARE(w.txtIP[6]->text(), u"7"_s);
    QTest::keyClicks(w.txtIP[3], u"9"_s);
    QTest::keyClick(w.txtIP[3], Qt::Key_Tab);
    QCOMPARE(w.txtIP[7]->text(), u"254"_s); // the fourth octet copies nothing
    QTest::keyClicks(w.txtIP[7], u"1234"_s);
    QCOMPARE(w.txtIP[7]->text().size(), 3);
}

void TestFrmNetScp::exportWritesTheListAndReportsFailure()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,\x83\x8B\x81\x5B\x83\x5E,\r\n"));
    QVERIFY(h.load());
    const QString target = h.dir.filePath(u"out.csv"_s);
    h.dialogs.paths = {target};
    h.window->cmdSave->click();
    QCOMPARE(h.dialogs.asked.size(), 1);
    QCOMPARE(h.dialogs.asked[0].title, u"保存ﾌｧｲﾙを指定してください。"_s);
    QCOMPARE(h.dialogs.asked[0].filter, u"CSVファイル    (*.csv)"_s);
    QCOMPARE(h.dialogs.asked[0].directory, h.dir.path());
    QCOMPARE(h.dialogs.asked[0].defaultSuffix, u".csv"_s);
    QCOMPARE(
        TestFiles::readBytes(target),
        QByteArray("IP\x83\x41\x83\x68\x83\x8C\x83\x58,HOST\x96\xBC,MAC\x83\x41\x83\x68\x83\x8C"
                   "\x83\x58\r\n198.18.0.5,\x83\x8B\x81\x5B\x83\x5E,\r\n"));
    QVERIFY(h.boxes.asked.isEmpty());

    // Cancelled: nothing written, nothing said.
    h.window->cmdSave->click();
    QVERIFY(h.boxes.asked.isEmpty());

    // A folder where the file should go cannot be written: say so, keep the list.
    h.dialogs.paths = {h.dir.path()};
    h.window->cmdSave->click();
    QCOMPARE(h.boxes.asked.size(), 1);
    QCOMPARE(h.boxes.asked[0].title, u"CSV保存"_s);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkExclamation);
    QCOMPARE(h.dat2().size(), 2);
}

void TestFrmNetScp::importPathsThatChangeNothing()
{
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,\r\n"));
    QVERIFY(h.load());
    const QStringList before = h.dat2();

    h.boxes.answers = {MessageBoxes::No};
    h.window->mnuInport->trigger();
    QCOMPARE(h.boxes.asked.size(), 1);
    QCOMPARE(
        h.boxes.asked[0].text,
        u"＜＜機能説明＞＞\r\nCSV保存で保存したアドレス一覧を、経歴として使用するようにします\r\n"
        u"Ver.1.XXで作成済みのCSVファイルを、経歴にしたい場合に使用します\r\n"
        u"尚、インポートを行うと、今までの経歴は全て破棄されます\r\n\r\nインポートを続行しますか？"_s);
    QCOMPARE(h.boxes.asked[0].title, u"インポート"_s);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::YesNoQuestion);
    QVERIFY(h.dialogs.asked.isEmpty());
    QCOMPARE(h.dat2(), before);

    h.boxes.answers = {MessageBoxes::Yes}; // then the dialog is cancelled
    h.window->mnuInport->trigger();
    QCOMPARE(h.dialogs.asked.size(), 1);
    QCOMPARE(h.dialogs.asked[0].title, u"開くﾌｧｲﾙを指定してください。"_s);
    QCOMPARE(h.dat2(), before);

    QVERIFY(h.importFile(h.dir.filePath(u"missing.csv"_s)));
    QCOMPARE(h.boxes.asked.size(), 4);
    QCOMPARE(h.boxes.asked[3].title, u"インポート"_s);
    QCOMPARE(h.boxes.asked[3].style, MessageBoxes::OkExclamation);
    QCOMPARE(h.dat2(), before);
    QVERIFY(h.window->close());
    QCOMPARE(TestFiles::readBytes(h.logPath()), QByteArray("198.18.0.5,pc05,\r\n"));
}

void TestFrmNetScp::importReplacesTheList()
{
    Harness h;
    QVERIFY(h.load());
    const QString file = h.dir.filePath(u"list.CSV"_s);
    QVERIFY(TestFiles::writeBytes(file, "anything,at,all\r\n198.18.0.9,nine,,more\r\n"));
    QVERIFY(h.importFile(file));
    QCOMPARE(h.dat2(), (QStringList{AddressList::csvHeader(), u"198.18.0.9,nine,,more"_s}));
    QCOMPARE(h.window->lists().lstDataRows().at(1), MakeListRow(u"198.18.0.9"_s, u"nine"_s, {}));
    QVERIFY(h.window->close());
    QCOMPARE(TestFiles::readBytes(h.logPath()), QByteArray("198.18.0.9,nine,,more\r\n"));
}

void TestFrmNetScp::helpOpensHlpThenHtmlElseSaysMissing_data()
{
    QTest::addColumn<QStringList>("present"); // files made in the program folder
    QTest::addColumn<QString>("opened");      // relative to it; empty: the message
    QTest::newRow("hlp first") << QStringList{u"Netroscope.hlp"_s, u"Netroscope.html"_s}
                               << u"Netroscope.hlp"_s;
    QTest::newRow("html beside the program")
        << QStringList{u"Netroscope.html"_s, u"share/Netroscope.html"_s} << u"Netroscope.html"_s;
    QTest::newRow("html in the data folder")
        << QStringList{u"share/Netroscope.html"_s} << u"share/Netroscope.html"_s;
    QTest::newRow("a folder is no help file")
        << QStringList{u"Netroscope.hlp/x"_s, u"Netroscope.html/x"_s} << QString();
    QTest::newRow("none") << QStringList{} << QString();
}

void TestFrmNetScp::helpOpensHlpThenHtmlElseSaysMissing()
{
    QFETCH(QStringList, present);
    QFETCH(QString, opened);
    Harness h;
    QVERIFY(h.load());
    for (const QString& name : present) {
        QVERIFY(QDir(h.dir.path()).mkpath(QFileInfo(h.dir.filePath(name)).path()));
        QVERIFY(TestFiles::writeBytes(h.dir.filePath(name), "help"));
    }
    h.window->mnuHelp->trigger();
    if (opened.isEmpty()) {
        QCOMPARE(h.launcher.started, QStringList());
        QCOMPARE(h.boxes.asked.size(), 1);
        QCOMPARE(h.boxes.asked[0].text, u"ヘルプファイルがありません"_s);
        QCOMPARE(h.boxes.asked[0].title, u"ヘルプ無し"_s);
        QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkExclamation);
    } else {
        const QFileInfo file(h.dir.filePath(opened));
        QCOMPARE(h.launcher.started, QStringList{file.filePath() + u'|' + file.path()});
        QCOMPARE(h.boxes.asked.size(), 0);
    }
}

void TestFrmNetScp::versionShowsTheAboutWindowModally()
{
    Harness h;
    QVERIFY(h.load());
    QPointer<QDialog> seen;
    bool modalOverTheWindow = false;
    // The item returns only once the about window is gone; it is answered from a timer.
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        modalOverTheWindow = seen && seen->parentWidget() == h.window.get() &&
                             seen->windowTitle() == u"Netroscope バージョン情報"_s;
        if (seen)
            seen->findChild<QPushButton*>()->click();
    });
    h.window->mnuVer->trigger();
    QVERIFY(modalOverTheWindow);
    QVERIFY(seen.isNull()); // a new one each time: this one was destroyed
    QVERIFY(h.window->isEnabled() && h.window->close());
}

void TestFrmNetScp::exitKeepsWhatAnotherProgramWrote_data()
{
    QTest::addColumn<bool>("surveyed"); // the window's list changed after start-up
    QTest::newRow("the window's list unchanged: the newer log stays") << false;
    QTest::newRow("both changed: the window's list saved, the other kept and told") << true;
}

void TestFrmNetScp::exitKeepsWhatAnotherProgramWrote()
{
    QFETCH(bool, surveyed);
    Harness h;
    QVERIFY(TestFiles::writeBytes(h.logPath(), "198.18.0.5,pc05,\r\n"));
    QVERIFY(h.load());
    if (surveyed) {
        h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"3"_s));
        h.runSurvey(0);
    }
    // A nightly `netroscope --survey --log` that knew nothing of the window.
    const QByteArray other = "198.18.0.9,nightly,02-00-00-00-00-09\r\n";
    QVERIFY(TestFiles::writeBytes(h.logPath(), other));
    QVERIFY(h.window->close());

    const QStringList copies = QDir(h.dir.path()).entryList({u"Netroscope-*.csv"_s}, QDir::Files);
    if (!surveyed) {
        QCOMPARE(TestFiles::readBytes(h.logPath()), other);
        QCOMPARE(copies, QStringList());
        return;
    }
    QCOMPARE(TestFiles::readBytes(h.logPath()), QByteArray("198.18.0.2,,\r\n198.18.0.3,,\r\n"));
    QCOMPARE(copies.size(), 1);
    const QString copy = h.dir.filePath(copies.first());
    QCOMPARE(subListLoad(copy).rows, QStringList{u"198.18.0.9,nightly,02-00-00-00-00-09"_s});

    // The next start says where the other list went, once.
    h.boxes.asked.clear();
    QVERIFY(h.load());
    QTRY_COMPARE(h.boxes.asked.size(), 1);
    QVERIFY2(h.boxes.asked[0].text.contains(QDir::toNativeSeparators(copy)),
             qPrintable(h.boxes.asked[0].text));
    QVERIFY(h.window->close());
    h.boxes.asked.clear();
    QVERIFY(h.load());
    settleEvents();
    QCOMPARE(h.boxes.asked.size(), 0);
}

void TestFrmNetScp::unreadableLogIsKeptUntilTheListIsReplaced_data()
{
    QTest::addColumn<QString>("then");     // what the user does before closing
    QTest::addColumn<QByteArray>("saved"); // the log afterwards; empty: untouched
    QTest::newRow("nothing") << u"close"_s << QByteArray();
    QTest::newRow("re-survey of an empty list") << u"resurvey"_s << QByteArray();
    QTest::newRow("new survey") << u"survey"_s << QByteArray("198.18.0.2,,\r\n");
    QTest::newRow("import") << u"import"_s << QByteArray("198.18.0.9,nine,\r\n");
}

void TestFrmNetScp::unreadableLogIsKeptUntilTheListIsReplaced()
{
    QFETCH(QString, then);
    QFETCH(QByteArray, saved);
    Harness h;
    // 0x85 0x40 is no character of the code page: a rewrite could not give it back.
    const QByteArray log = "198.18.0.5,pc\x85\x40,\r\n198.18.0.6,,\r\n";
    QVERIFY(TestFiles::writeBytes(h.logPath(), log));
    QVERIFY(h.load());
    QCOMPARE(h.dat2().size(), 1);
    QTRY_COMPARE(h.boxes.asked.size(), 1);
    QVERIFY(h.boxes.asked[0].overShownWindow);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkExclamation);
    QVERIFY(h.boxes.asked[0].text.startsWith(u"履歴ファイルを読み込めませんでした。\r\n"_s +
                                             h.logPath()));

    if (then == u"survey") {
        h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"2"_s));
        h.runSurvey(0);
    } else if (then == u"resurvey") {
        h.runSurvey(1);
    } else if (then == u"import") {
        const QString csv = h.dir.filePath(u"list.csv"_s);
        QVERIFY(TestFiles::writeBytes(csv, "IP,HOST,MAC\r\n198.18.0.9,nine,\r\n"));
        QVERIFY(h.importFile(csv));
    }
    QVERIFY(h.window->close());
    QCOMPARE(TestFiles::readBytes(h.logPath()), saved.isEmpty() ? log : saved);
    QCOMPARE(h.boxes.asked.size(), then == u"import" ? 2 : 1); // once, and the import's Yes
}

void TestFrmNetScp::missingConverterStopsBeforeAnyFile()
{
    Harness h;
    const QByteArray log = "198.18.0.5,pc05,\r\n";
    QVERIFY(TestFiles::writeBytes(h.logPath(), log));
    Cp932::simulateMissingConverter(true);
    const auto restore = qScopeGuard([] { Cp932::simulateMissingConverter(false); });
    QVERIFY(!h.create().Form_Load());
    QCOMPARE(h.boxes.asked.size(), 1);
    QCOMPARE(h.boxes.asked[0].style, MessageBoxes::OkCritical);
    QCOMPARE(h.probes->calls().size(), 0); // stopped before the tools check, too
    h.window.reset();
    QCOMPARE(TestFiles::readBytes(h.logPath()), log);
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), QStringList{u"Netroscope.log"_s});
    // Below the window, too, no file is read as empty or written without it.
    QVERIFY(!TextFile::read(h.logPath()).ok);
    QVERIFY(!TextFile::write(h.logPath(), {}).ok);
    QCOMPARE(TestFiles::readBytes(h.logPath()), log);
}

void TestFrmNetScp::focusFromWindowActivationChangesNothing_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("acts");
    QTest::newRow("tab") << int(Qt::TabFocusReason) << true;
    QTest::newRow("mouse") << int(Qt::MouseFocusReason) << true;
    QTest::newRow("window activated or left") << int(Qt::ActiveWindowFocusReason) << false;
    QTest::newRow("context menu") << int(Qt::PopupFocusReason) << false;
}

void TestFrmNetScp::focusFromWindowActivationChangesNothing()
{
    QFETCH(int, reason);
    QFETCH(bool, acts);
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    w.txtIP[0]->setText(u"10"_s); // the end address still shows 198
    w.txtIP[0]->deselect();
    QFocusEvent in(QEvent::FocusIn, Qt::FocusReason(reason));
    QCoreApplication::sendEvent(w.txtIP[0], &in);
    QCoreApplication::processEvents(); // the queued select-all
    QCOMPARE(w.txtIP[0]->selectedText(), acts ? u"10"_s : QString());
    QFocusEvent out(QEvent::FocusOut, Qt::FocusReason(reason));
    QCoreApplication::sendEvent(w.txtIP[0], &out);
    QCOMPARE(w.txtIP[4]->text(), acts ? u"10"_s : u"198"_s);
}

void TestFrmNetScp::importRunsOffTheGuiThreadWithTheWindowBusy()
{
    Harness h;
    QVERIFY(h.load());
    frmNetScp& w = *h.window;
    const QString csv = h.dir.filePath(u"list.csv"_s);
    QVERIFY(TestFiles::writeBytes(csv, "IP,HOST,MAC\r\n198.18.0.9,nine,\r\n"));
    h.boxes.answers = {MessageBoxes::Yes};
    h.dialogs.paths = {csv};
    QSignalSpy done(&w, &frmNetScp::importFinished);
    w.mnuInport->trigger();
    // The read has not come back yet: nothing may start another action meanwhile,
    // and there is nothing to cancel.
    QCOMPARE(done.size(), 0);
    QVERIFY(!w.cmdStart[0]->isEnabled() && !w.mnuInport->isEnabled() && !w.cmdCancel->isEnabled());
    QVERIFY(!w.close());
    QVERIFY(done.wait(5000));
    QVERIFY(w.cmdStart[0]->isEnabled() && w.mnuInport->isEnabled() && !w.cmdCancel->isEnabled());
    QCOMPARE(h.dat2().size(), 2);
}

void TestFrmNetScp::applicationQuitClosesEvenDuringASurvey()
{
    Harness h;
    QVERIFY(h.load());
    h.setRange(range(u"198"_s, u"18"_s, u"0"_s, u"2"_s, u"3"_s));
    h.probes->hold(FakeProbes::kPing, u"198.18.0.3"_s);
    frmNetScp& w = *h.window;
    w.cmdStart[0]->click();
    QTRY_COMPARE(h.dat2().size(), 2);
    w.sessionEnding();   // the session says it ends: the list so far is saved
    QVERIFY(!w.close()); // a user's close is still refused
    // Then the session ends for real: the application quits and closes its windows.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    QVERIFY(!w.isVisible());
    QCOMPARE(TestFiles::readBytes(h.logPath()), QByteArray("198.18.0.2,,\r\n"));
    h.probes->releaseAll();
}

QTEST_MAIN(TestFrmNetScp)
#include "tst_frmnetscp.moc"
