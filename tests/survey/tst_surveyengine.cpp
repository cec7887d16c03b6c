#include "FakeProbes.h"
#include "SettleEvents.h"
#include "survey/AddressList.h"
#include "survey/InFlightBudget.h"
#include "survey/RowDecision.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"

#include <QEventLoop>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kPrefix = u"198.18.0."_s;

QString ip(int last)
{
    return kPrefix + QString::number(last);
}

OwnIdentity me()
{
    return {u"mypc"_s, ip(3), u"0A-0B-0C-0D-0E-0F"_s};
}

FakeProbes::Script answering(const QString& host, const QString& mac, int delayMs = 0)
{
    FakeProbes::Script script;
    script.host = host;
    script.answered = true;
    script.mac = mac;
    script.delayMs = delayMs;
    return script;
}

FakeProbes::Script silent(const QString& host = {}, int delayMs = 0)
{
    FakeProbes::Script script;
    script.host = host;
    script.delayMs = delayMs;
    return script;
}

// Everything a window would see of one run, in the order it saw it, and the rows the
// engine announced, as data rows.
struct Recorder {
    QStringList events;
    QStringList added;
    int finished = 0;
    int probesRunningAtFinish = -1;

    Recorder(SurveyEngine& engine, SurveyLists& lists, FakeProbes* fake = nullptr)
    {
        QObject::connect(&engine, &SurveyEngine::probeError, &engine,
                         [this](const QString& name) { events << u"error "_s + name; });
        QObject::connect(&engine, &SurveyEngine::neighbourTableUnread, &engine,
                         [this] { events << u"error table"_s; });
        QObject::connect(&engine, &SurveyEngine::captionChanged, &engine,
                         [this](const QString& caption) { events << u"caption "_s + caption; });
        QObject::connect(&engine, &SurveyEngine::rowAdded, &engine, [this](const AddressEntry& e) {
            added << MakeCsvRow(e.ip, e.host, e.mac);
        });
        QObject::connect(&engine, &SurveyEngine::selectRow, &engine,
                         [this](int row) { events << u"select "_s + QString::number(row); });
        QObject::connect(&engine, &SurveyEngine::finished, &engine, [this, fake] {
            ++finished;
            events << u"finished"_s;
            if (fake)
                probesRunningAtFinish = fake->running();
        });
        QObject::connect(lists.lstData(), &QAbstractItemModel::rowsInserted, &engine,
                         [this, &lists](const QModelIndex&, int first, int) {
                             const QString row = lists.lstDataRows().at(first);
                             events << u"row "_s + row.left(row.indexOf(u'|')).trimmed();
                         });
    }
};

QStringList dat2(std::initializer_list<QString> rows)
{
    QStringList list{AddressList::csvHeader()};
    list.append(QStringList(rows));
    return list;
}

// Lists as a loaded file leaves them, from data rows with their header.
void load(SurveyLists& lists, const QStringList& dataRows)
{
    lists.replaceWithStored(dataRows.mid(1));
}

QStringList rebuilt(const QStringList& dataRows)
{
    QStringList rows{dataRows.first()};
    for (qsizetype i = 1; i < dataRows.size(); ++i) {
        const AddressEntry entry = SplitCsvRow(dataRows.at(i));
        rows << MakeCsvRow(entry.ip, entry.host, entry.mac);
    }
    return rows;
}

// The stop tokens the ping and MAC probes got, by the address they were for.
QMultiHash<QString, StopToken> tokensByAddress(const FakeProbes& fake)
{
    QMultiHash<QString, StopToken> result;
    const QList<FakeProbes::Call> calls = fake.calls();
    const QList<StopToken> tokens = fake.stopTokens();
    qsizetype t = 0;
    for (const FakeProbes::Call& call : calls) {
        if (call.procedure == FakeProbes::kPing || call.procedure == FakeProbes::kMacOf)
            result.insert(call.argument, tokens.value(t++));
    }
    return result;
}

// Runs a real event loop until the run is over: a run takes one turn of the loop per
// row, which a polling wait would stretch.
bool waitFinished(SurveyEngine& engine, const Recorder& recorder)
{
    if (recorder.finished == 0) {
        QEventLoop loop;
        QObject::connect(&engine, &SurveyEngine::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return recorder.finished > 0;
}

} // namespace

class TestSurveyEngine : public QObject {
    Q_OBJECT
private slots:
    void newSurvey_data();
    void newSurvey();
    void startAfterEndSurveysNothing();
    void startReturnsBeforeAnyRow();
    void rowDecision_data();
    void rowDecision();
    void resurveyRebuildsEveryRow();
    void resurveyCaptionsCountEntries();
    void resurveyWithNothingToDo();
    void cancelNewSurveyAtRowBoundary_data();
    void cancelNewSurveyAtRowBoundary();
    void cancelNewSurveyFinishesTheAddressBeingProbed();
    void cancelResurveyCarriesTheRestOver_data();
    void cancelResurveyCarriesTheRestOver();
    void cancelResurveyFinishesTheEntryBeingProbed();
    void cancelWhileAnErrorBoxIsUp_data();
    void cancelWhileAnErrorBoxIsUp();
    void clickBetweenRowsIsHandledBeforeTheNextRow();
    void errorsComeJustBeforeTheirRow();
    void modalBoxHoldsTheNextRow();
    void inFlightBound();
    void inFlightBudget_data();
    void inFlightBudget();
    void sequentialAndParallelRunsAgree_data();
    void sequentialAndParallelRunsAgree();
    void deletingTheEngineMidRun();
    void deletingTheEngineFromAnErrorBox();
};

void TestSurveyEngine::newSurvey_data()
{
    QTest::addColumn<int>("inFlight");
    QTest::newRow("sequential") << 1;
    QTest::newRow("parallel") << 32;
}

void TestSurveyEngine::newSurvey()
{
    QFETCH(int, inFlight);
    auto fake = std::make_shared<FakeProbes>();
    fake->setScript(ip(1), answering(u"alpha"_s, u"00-00-00-00-00-01"_s, 5));
    fake->setScript(ip(2), silent(u"beta"_s));
    fake->setScript(ip(4), answering(QString(), u"00-00-00-00-00-04"_s));
    // .5 has no script: nobody there.
    SurveyLists lists;
    load(lists, dat2({u"9.9.9.9,old,"_s}));
    SurveyEngine engine(fake, lists);
    engine.setMaxInFlight(inFlight);
    Recorder recorder(engine, lists, fake.get());

    engine.startNew(kPrefix, 1, 5, me());
    QVERIFY(engine.isRunning());
    QVERIFY(waitFinished(engine, recorder));
    QVERIFY(!engine.isRunning());

    QCOMPARE(lists.lstDat2(), dat2({
                                  ip(1) + u",alpha,00-00-00-00-00-01"_s,
                                  ip(2) + u",beta,"_s,
                                  ip(3) + u",mypc,0A-0B-0C-0D-0E-0F"_s,
                                  ip(4) + u",,00-00-00-00-00-04"_s,
                                  ip(5) + u",,"_s,
                              }));
    QCOMPARE(lists.lstDataRows().first(), AddressList::listHeader());
    QCOMPARE(lists.lstDataRows().at(3), MakeListRow(ip(3), u"mypc"_s, u"0A-0B-0C-0D-0E-0F"_s));

    QStringList expected;
    for (int i = 1; i <= 5; ++i)
        expected << u"row "_s + ip(i) << u"caption %1/5"_s.arg(i) << u"select %1"_s.arg(i);
    expected << u"finished"_s;
    QCOMPARE(recorder.events, expected);
    QCOMPARE(recorder.probesRunningAtFinish, 0);

    // The own address is never probed; the name is asked of every other address, the
    // MAC only of those that answered.
    QCOMPARE(fake->callCount(FakeProbes::kIpToHost, ip(3)), 0);
    QCOMPARE(fake->callCount(FakeProbes::kPing, ip(3)), 0);
    QCOMPARE(fake->callCount(FakeProbes::kMacOf, ip(3)), 0);
    QCOMPARE(fake->callCount(FakeProbes::kIpToHost), 4);
    QCOMPARE(fake->callCount(FakeProbes::kPing), 4);
    QCOMPARE(fake->argumentsOf(FakeProbes::kMacOf).size(), 2);
    QCOMPARE(fake->callCount(FakeProbes::kMacOf, ip(1)), 1);
    QCOMPARE(fake->callCount(FakeProbes::kMacOf, ip(4)), 1);
    // Each address: name first, then ping, then MAC.
    QStringList perAddress;
    for (const FakeProbes::Call& call : fake->calls()) {
        if (call.argument == ip(1))
            perAddress << call.procedure;
    }
    QCOMPARE(perAddress,
             (QStringList{FakeProbes::kIpToHost, FakeProbes::kPing, FakeProbes::kMacOf}));
}

void TestSurveyEngine::startAfterEndSurveysNothing()
{
    auto fake = std::make_shared<FakeProbes>();
    SurveyLists lists;
    load(lists, dat2({u"1.1.1.1,a,b"_s}));
    SurveyEngine engine(fake, lists);
    Recorder recorder(engine, lists, fake.get());

    engine.startNew(kPrefix, 200, 100, me());
    QVERIFY(waitFinished(engine, recorder));
    QCOMPARE(recorder.events, QStringList{u"finished"_s});
    QCOMPARE(lists.lstDat2(), QStringList{AddressList::csvHeader()});
    QCOMPARE(lists.lstDataRows(), QStringList{AddressList::listHeader()});
    QVERIFY(fake->calls().isEmpty());
    // Once only.
    settleEvents();
    QCOMPARE(recorder.finished, 1);
}

void TestSurveyEngine::startReturnsBeforeAnyRow()
{
    auto fake = std::make_shared<FakeProbes>();
    SurveyLists lists;
    load(lists, dat2({u"1.1.1.1,a,b"_s}));
    SurveyEngine engine(fake, lists);
    QSignalSpy finished(&engine, &SurveyEngine::finished);
    QSignalSpy captions(&engine, &SurveyEngine::captionChanged);

    engine.startNew(kPrefix, 1, 1, me());
    // The lists are cleared at once, but the first row waits for the event loop.
    QCOMPARE(lists.count(), 1);
    QCOMPARE(captions.count(), 0);
    QCOMPARE(finished.count(), 0);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(lists.entryCount(), 1);

    // The same holds when there is nothing to do.
    engine.startResurvey(me());
    QCOMPARE(finished.count(), 1);
    QTRY_COMPARE(finished.count(), 2);
}

void TestSurveyEngine::rowDecision_data()
{
    QTest::addColumn<bool>("resurvey");
    QTest::addColumn<QString>("before"); // a re-survey's data row, a new survey's address
    QTest::addColumn<QString>("foundHost");
    QTest::addColumn<QString>("foundMac");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("probed");

    const QString mac = u"00-11-22-33-44-55"_s;
    const QString newMac = u"66-77-88-99-AA-BB"_s;
    QTest::newRow("new: what the probes found")
        << false << ip(1) << u"pc01"_s << newMac << ip(1) + u",pc01,"_s + newMac << true;
    QTest::newRow("new: nobody there")
        << false << ip(1) << QString() << QString() << ip(1) + u",,"_s << true;
    QTest::newRow("new: own address, own name and MAC, no probes")
        << false << ip(3) << u"x"_s << newMac << ip(3) + u",mypc,0A-0B-0C-0D-0E-0F"_s << false;
    QTest::newRow("both known: carried over without probes")
        << true << ip(1) + u",host,"_s + mac << u"other"_s << newMac << ip(1) + u",host,"_s + mac
        << false;
    QTest::newRow("host only, nothing found: keeps the host")
        << true << ip(1) + u",host,"_s << QString() << QString() << ip(1) + u",host,"_s << true;
    QTest::newRow("mac only, nothing found: keeps the mac")
        << true << ip(1) + u",,"_s + mac << QString() << QString() << ip(1) + u",,"_s + mac << true;
    QTest::newRow("host only, MAC found without a name: the name is lost")
        << true << ip(1) + u",host,"_s << QString() << newMac << ip(1) + u",,"_s + newMac << true;
    QTest::newRow("host only, a new name without MAC: both replaced")
        << true << ip(1) + u",host,"_s << u"renamed"_s << QString() << ip(1) + u",renamed,"_s
        << true;
    QTest::newRow("blank entry, both found")
        << true << ip(1) + u",,"_s << u"found"_s << newMac << ip(1) + u",found,"_s + newMac << true;
    QTest::newRow("blank entry, nothing found")
        << true << ip(1) + u",,"_s << QString() << QString() << ip(1) + u",,"_s << true;
    QTest::newRow("own address with blanks: own name and MAC, no probes")
        << true << ip(3) + u",,"_s << u"x"_s << newMac << ip(3) + u",mypc,0A-0B-0C-0D-0E-0F"_s
        << false;
    QTest::newRow("own address fully known: carried over as it is")
        << true << ip(3) + u",oldname,"_s + mac << QString() << QString()
        << ip(3) + u",oldname,"_s + mac << false;
    QTest::newRow("fields beyond the third are dropped")
        << true << ip(1) + u",host,"_s + mac + u",extra,more"_s << QString() << QString()
        << ip(1) + u",host,"_s + mac << false;
    QTest::newRow("missing fields of an imported line")
        << true << ip(1) << u"h"_s << newMac << ip(1) + u",h,"_s + newMac << true;
}

void TestSurveyEngine::rowDecision()
{
    QFETCH(bool, resurvey);
    QFETCH(QString, before);
    QFETCH(QString, foundHost);
    QFETCH(QString, foundMac);
    QFETCH(QString, after);
    QFETCH(bool, probed);

    const SurveyTarget target =
        resurvey ? resurveyTarget(SplitCsvRow(before), me()) : newSurveyTarget(before, me());
    QCOMPARE(target.kind == SurveyTarget::Kind::Probe, probed);
    const AddressEntry row = surveyedRow(target, me(), {foundHost, foundMac});
    QCOMPARE(MakeCsvRow(row.ip, row.host, row.mac), after);
}

void TestSurveyEngine::resurveyRebuildsEveryRow()
{
    auto fake = std::make_shared<FakeProbes>();
    fake->setScript(ip(2), answering(u"found"_s, u"66-77-88-99-AA-BB"_s));
    SurveyLists lists;
    const QStringList old = dat2({ip(1) + u",keep,00-00-00-00-00-01,extra"_s, ip(2) + u",,"_s,
                                  ip(3) + u",,"_s, ip(4) + u",gone,"_s});
    load(lists, old);
    SurveyEngine engine(fake, lists);
    Recorder recorder(engine, lists, fake.get());

    engine.startResurvey(me());
    QVERIFY(waitFinished(engine, recorder));

    QCOMPARE(lists.lstDat2(),
             dat2({ip(1) + u",keep,00-00-00-00-00-01"_s, ip(2) + u",found,66-77-88-99-AA-BB"_s,
                   ip(3) + u",mypc,0A-0B-0C-0D-0E-0F"_s, ip(4) + u",gone,"_s}));
    QCOMPARE(lists.lstDat3(), old);
    for (int k = 1; k < lists.count(); ++k) {
        const AddressEntry entry = SplitCsvRow(lists.lstDat2().at(k));
        QCOMPARE(lists.lstDataRows().at(k), MakeListRow(entry.ip, entry.host, entry.mac));
    }
    // Only the entries with blanks, other than the own one, were probed.
    QStringList pinged = fake->argumentsOf(FakeProbes::kPing);
    pinged.sort();
    QCOMPARE(pinged, (QStringList{ip(2), ip(4)}));
    QStringList expected;
    for (int i = 1; i <= 4; ++i)
        expected << u"row "_s + ip(i) << u"caption %1/4"_s.arg(i) << u"select %1"_s.arg(i);
    expected << u"finished"_s;
    QCOMPARE(recorder.events, expected);
}

void TestSurveyEngine::resurveyCaptionsCountEntries()
{
    auto fake = std::make_shared<FakeProbes>();
    SurveyLists lists;
    QStringList rows{AddressList::csvHeader()};
    for (int i = 1; i <= 10; ++i)
        rows << ip(100 + i) + u",,"_s;
    load(lists, rows);
    SurveyEngine engine(fake, lists);
    QSignalSpy captions(&engine, &SurveyEngine::captionChanged);
    QSignalSpy finished(&engine, &SurveyEngine::finished);

    engine.startResurvey(me());
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(captions.count(), 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(captions.at(i).at(0).toString(), u"%1/10"_s.arg(i + 1));
}

void TestSurveyEngine::resurveyWithNothingToDo()
{
    auto fake = std::make_shared<FakeProbes>();
    SurveyLists lists;
    // lstDat3 keeps the copy of an earlier re-survey.
    load(lists, dat2({ip(1) + u",a,"_s}));
    SurveyEngine engine(fake, lists);
    QSignalSpy finished(&engine, &SurveyEngine::finished);
    engine.startResurvey(me());
    QTRY_COMPARE(finished.count(), 1);
    const QStringList earlierCopy = lists.lstDat3();

    lists.resetToHeaders();
    const QStringList dataRows = lists.lstDataRows();
    Recorder recorder(engine, lists, fake.get());
    fake->clearCalls();
    engine.startResurvey(me());
    QVERIFY(waitFinished(engine, recorder));
    QCOMPARE(recorder.events, QStringList{u"finished"_s});
    QCOMPARE(lists.lstDat2(), QStringList{AddressList::csvHeader()});
    QCOMPARE(lists.lstDataRows(), dataRows);
    QCOMPARE(lists.lstDat3(), earlierCopy);
    QVERIFY(fake->calls().isEmpty());
}

void TestSurveyEngine::cancelNewSurveyAtRowBoundary_data()
{
    QTest::addColumn<int>("inFlight");
    QTest::newRow("sequential") << 1;
    QTest::newRow("parallel") << 8;
}

void TestSurveyEngine::cancelNewSurveyAtRowBoundary()
{
    QFETCH(int, inFlight);
    auto fake = std::make_shared<FakeProbes>();
    fake->setDefaultScript(answering(u"h"_s, u"00-00-00-00-00-01"_s, 3));
    SurveyLists lists;
    SurveyEngine engine(fake, lists);
    engine.setMaxInFlight(inFlight);
    Recorder recorder(engine, lists, fake.get());
    // The click lands while the third row is shown.
    connect(&engine, &SurveyEngine::captionChanged, &engine, [&](const QString& caption) {
        if (caption == u"12/30"_s)
            engine.cancel();
    });

    engine.startNew(kPrefix, 10, 30, me());
    QVERIFY(waitFinished(engine, recorder));
    QCOMPARE(lists.entryCount(), 3);
    QCOMPARE(lists.lstDat2().last(), ip(12) + u",h,00-00-00-00-00-01"_s);
    QCOMPARE(recorder.events.mid(recorder.events.size() - 4),
             (QStringList{u"select 2"_s, u"row "_s + ip(12), u"caption 12/30"_s, u"finished"_s}));
    QCOMPARE(recorder.probesRunningAtFinish, 0);
    QVERIFY(engine.cancelRequested());
    // Every address probed ahead of the list was stopped.
    const auto tokens = tokensByAddress(*fake);
    for (auto it = tokens.cbegin(); it != tokens.cend(); ++it) {
        if (it.key() > ip(12))
            QVERIFY2(it.value().stopRequested(), qPrintable(it.key()));
    }
}

void TestSurveyEngine::cancelNewSurveyFinishesTheAddressBeingProbed()
{
    auto fake = std::make_shared<FakeProbes>();
    fake->hold(FakeProbes::kPing, ip(3 + 1)); // .3 is the own address
    SurveyLists lists;
    SurveyEngine engine(fake, lists);
    Recorder recorder(engine, lists, fake.get());

    engine.startNew(kPrefix, 1, 8, me());
    QTRY_COMPARE(fake->waitingCount(), 1);
    QTRY_COMPARE(lists.entryCount(), 3);
    // On a busy machine the pool may not have reached .5 yet.
    QTRY_COMPARE(fake->callCount(FakeProbes::kPing, ip(5)), 1);
    QCOMPARE(recorder.finished, 0);
    // Queued like a click: the run's own pending turn comes first.
    QMetaObject::invokeMethod(&engine, &SurveyEngine::cancel, Qt::QueuedConnection);

    // The addresses probed ahead stop at once; the one the run waits for goes on.
    QTRY_VERIFY(engine.cancelRequested());
    QTRY_VERIFY(fake->running() <= 1);
    const auto tokens = tokensByAddress(*fake);
    QVERIFY(tokens.contains(ip(4)) && tokens.contains(ip(5)));
    for (auto it = tokens.cbegin(); it != tokens.cend(); ++it) {
        if (it.key() >= ip(4)) // .1 and .2 are done and need no stop
            QCOMPARE(it.value().stopRequested(), it.key() != ip(4));
    }
    QCOMPARE(recorder.finished, 0);
    fake->releaseAll();
    QVERIFY(waitFinished(engine, recorder));

    QCOMPARE(lists.entryCount(), 4);
    QCOMPARE(lists.lstDat2().last(), ip(4) + u",,"_s);
    QCOMPARE(recorder.events.mid(recorder.events.size() - 3),
             (QStringList{u"row "_s + ip(4), u"caption 4/8"_s, u"finished"_s}));
    QCOMPARE(recorder.probesRunningAtFinish, 0);
}

void TestSurveyEngine::cancelResurveyCarriesTheRestOver_data()
{
    QTest::addColumn<int>("inFlight");
    QTest::newRow("sequential") << 1;
    QTest::newRow("parallel") << 8;
}

void TestSurveyEngine::cancelResurveyCarriesTheRestOver()
{
    QFETCH(int, inFlight);
    auto fake = std::make_shared<FakeProbes>();
    fake->setDefaultScript(answering(u"new"_s, u"00-00-00-00-00-99"_s, 2));
    SurveyLists lists;
    const QStringList old =
        dat2({ip(1) + u",,"_s, ip(2) + u",a,"_s, ip(4) + u",,00-00-00-00-00-04"_s,
              ip(5) + u",,,x"_s, ip(6) + u",f,00-00-00-00-00-06"_s, ip(7) + u",,"_s});
    load(lists, old);
    SurveyEngine engine(fake, lists);
    engine.setMaxInFlight(inFlight);
    Recorder recorder(engine, lists, fake.get());
    connect(&engine, &SurveyEngine::captionChanged, &engine, [&](const QString& caption) {
        if (caption == u"2/6"_s)
            engine.cancel();
    });

    engine.startResurvey(me());
    QVERIFY(waitFinished(engine, recorder));

    QStringList expected = rebuilt(old);
    expected[1] = ip(1) + u",new,00-00-00-00-00-99"_s;
    expected[2] = ip(2) + u",new,00-00-00-00-00-99"_s;
    QCOMPARE(lists.lstDat2(), expected);
    QCOMPARE(lists.lstDataRows().size(), expected.size());
    QCOMPARE(lists.lstDataRows().last(), MakeListRow(ip(7), QString(), QString()));
    // No caption and no selection once cancelled; every entry is still there.
    QCOMPARE(recorder.events.filter(u"caption"_s),
             (QStringList{u"caption 1/6"_s, u"caption 2/6"_s}));
    QCOMPARE(recorder.events.filter(u"select"_s), QStringList{u"select 1"_s});
    QCOMPARE(recorder.events.filter(u"row"_s).size(), 6);
    QCOMPARE(recorder.probesRunningAtFinish, 0);
}

void TestSurveyEngine::cancelResurveyFinishesTheEntryBeingProbed()
{
    auto fake = std::make_shared<FakeProbes>();
    fake->setDefaultScript(answering(u"new"_s, u"00-00-00-00-00-99"_s));
    fake->hold(FakeProbes::kPing, ip(2));
    SurveyLists lists;
    const QStringList old =
        dat2({ip(1) + u",,"_s, ip(2) + u",half,"_s, ip(4) + u",,"_s, ip(5) + u",,,x"_s});
    load(lists, old);
    SurveyEngine engine(fake, lists);
    Recorder recorder(engine, lists, fake.get());

    engine.startResurvey(me());
    QTRY_COMPARE(fake->waitingCount(), 1);
    QTRY_COMPARE(lists.entryCount(), 1);
    // Queued like a click: the run's own pending turn comes first.
    QMetaObject::invokeMethod(&engine, &SurveyEngine::cancel, Qt::QueuedConnection);
    QTRY_VERIFY(engine.cancelRequested());
    QTRY_VERIFY(fake->running() <= 1);
    fake->releaseAll();
    QVERIFY(waitFinished(engine, recorder));

    // The entry being probed is finished; every later one is carried over as it was.
    QStringList expected = rebuilt(old);
    expected[1] = ip(1) + u",new,00-00-00-00-00-99"_s;
    expected[2] = ip(2) + u",new,00-00-00-00-00-99"_s;
    QCOMPARE(lists.lstDat2(), expected);
    QCOMPARE(recorder.events.filter(u"caption"_s), QStringList{u"caption 1/4"_s});
    QCOMPARE(recorder.probesRunningAtFinish, 0);
}

void TestSurveyEngine::cancelWhileAnErrorBoxIsUp_data()
{
    QTest::addColumn<bool>("resurvey");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("new survey: the row of the box is the last")
        << false << QStringList{u"caption 1/6"_s, u"caption 2/6"_s};
    QTest::newRow("re-survey: the rest carried over, no more progress")
        << true << QStringList{u"caption 1/5"_s};
}

void TestSurveyEngine::cancelWhileAnErrorBoxIsUp()
{
    QFETCH(bool, resurvey);
    QFETCH(QStringList, captions);
    auto fake = std::make_shared<FakeProbes>();
    fake->setDefaultScript(answering(u"new"_s, u"00-00-00-00-00-99"_s));
    FakeProbes::Script pingError = silent(u"p"_s);
    pingError.pingError = true;
    fake->setScript(ip(2), pingError);
    SurveyLists lists;
    const QStringList old =
        dat2({ip(1) + u",,"_s, ip(2) + u",,"_s, ip(4) + u",,"_s, ip(5) + u",,"_s, ip(6) + u",,"_s});
    load(lists, old);
    SurveyEngine engine(fake, lists);
    engine.setMaxInFlight(8);
    Recorder recorder(engine, lists, fake.get());
    // The click the box's own event loop lets through.
    connect(&engine, &SurveyEngine::probeError, &engine, [&] { engine.cancel(); });

    if (resurvey)
        engine.startResurvey(me());
    else
        engine.startNew(kPrefix, 1, 6, me());
    QVERIFY(waitFinished(engine, recorder));

    // The row whose box was up is kept as found.
    QStringList expected = dat2({ip(1) + u",new,00-00-00-00-00-99"_s, ip(2) + u",p,"_s});
    if (resurvey)
        expected += rebuilt(old).mid(3);
    QCOMPARE(lists.lstDat2(), expected);
    QCOMPARE(recorder.events.filter(u"caption"_s), captions);
    QCOMPARE(recorder.events.filter(u"select"_s), QStringList{u"select 1"_s});
    QCOMPARE(recorder.events.last(), u"finished"_s);
    QCOMPARE(recorder.probesRunningAtFinish, 0);
    const auto tokens = tokensByAddress(*fake);
    for (auto it = tokens.cbegin(); it != tokens.cend(); ++it) {
        if (it.key() > ip(2))
            QVERIFY2(it.value().stopRequested(), qPrintable(it.key()));
    }
}

void TestSurveyEngine::clickBetweenRowsIsHandledBeforeTheNextRow()
{
    // All probes answer at once, yet a click queued while row 1 is shown is handled
    // before row 2 is appended: the run hands control back after every row.
    auto fake = std::make_shared<FakeProbes>();
    SurveyLists lists;
    SurveyEngine engine(fake, lists);
    QSignalSpy finished(&engine, &SurveyEngine::finished);
    connect(&engine, &SurveyEngine::captionChanged, &engine, [&](const QString& caption) {
        if (caption == u"1/50"_s)
            QMetaObject::invokeMethod(&engine, &SurveyEngine::cancel, Qt::QueuedConnection);
    });
    engine.startNew(u"127.0.0."_s, 1, 50, me());
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(lists.entryCount(), 1);
}

void TestSurveyEngine::errorsComeJustBeforeTheirRow()
{
    auto fake = std::make_shared<FakeProbes>();
    FakeProbes::Script pingError = silent(u"p"_s, 20);
    pingError.pingError = true;
    FakeProbes::Script macError = answering(u"m"_s, QString());
    macError.macError = true;
    fake->setScript(ip(2), pingError);
    fake->setScript(ip(4), macError);
    fake->setScript(ip(5), pingError);
    fake->setScript(ip(6), answering(u"ok"_s, u"00-00-00-00-00-06"_s));
    // An unreadable table is said once a run.
    FakeProbes::Script unread = silent(u"u"_s);
    unread.tableUnread = true;
    fake->setScript(ip(1), unread);
    fake->setScript(ip(7), unread);
    SurveyLists lists;
    SurveyEngine engine(fake, lists);
    Recorder recorder(engine, lists, fake.get());

    engine.startNew(kPrefix, 1, 7, me());
    QVERIFY(waitFinished(engine, recorder));
    QCOMPARE(recorder.events.filter(u"error"_s),
             (QStringList{u"error table"_s, u"error subPing"_s, u"error subMacGet"_s,
                          u"error subPing"_s}));
    auto before = [&](const QString& row) {
        return recorder.events.at(recorder.events.indexOf(u"row "_s + row) - 1);
    };
    QCOMPARE(before(ip(2)), u"error subPing"_s);
    QCOMPARE(before(ip(1)), u"error table"_s);
    QCOMPARE(before(ip(4)), u"error subMacGet"_s);
    QCOMPARE(before(ip(5)), u"error subPing"_s);
    QCOMPARE(before(ip(6)), u"select 5"_s);
    // A failed probe is an empty field; a failed ping asks no MAC.
    QCOMPARE(lists.lstDat2().at(2), ip(2) + u",p,"_s);
    QCOMPARE(lists.lstDat2().at(4), ip(4) + u",m,"_s);
    QCOMPARE(fake->callCount(FakeProbes::kMacOf, ip(2)), 0);
}

void TestSurveyEngine::modalBoxHoldsTheNextRow()
{
    auto fake = std::make_shared<FakeProbes>();
    FakeProbes::Script pingError;
    pingError.pingError = true;
    fake->setDefaultScript(pingError);
    SurveyLists lists;
    SurveyEngine engine(fake, lists);
    engine.setMaxInFlight(16);
    QSignalSpy finished(&engine, &SurveyEngine::finished);
    int boxes = 0;
    int rowsAddedDuringBox = 0;
    // Each box runs its own event loop until every probe has returned and its report
    // has been handled, as a modal message box would while the user reads it.
    connect(&engine, &SurveyEngine::probeError, &engine, [&] {
        ++boxes;
        const int before = lists.count();
        QVERIFY(QTest::qWaitFor(
            [&] { return fake->callCount(FakeProbes::kPing) == 8 && fake->running() == 0; }));
        settleEvents();
        rowsAddedDuringBox += lists.count() - before;
    });

    engine.startNew(kPrefix, 10, 17, me());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    QCOMPARE(boxes, 8);
    QCOMPARE(rowsAddedDuringBox, 0);
    QCOMPARE(lists.entryCount(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(SplitCsvRow(lists.lstDat2().at(i + 1)).ip, ip(10 + i));
}

void TestSurveyEngine::inFlightBound()
{
    auto fake = std::make_shared<FakeProbes>();
    fake->hold(FakeProbes::kPing);
    SurveyLists lists;
    SurveyEngine engine(fake, lists);
    QCOMPARE(engine.maxInFlight(), SurveyEngine::kDefaultMaxInFlight);
    engine.setMaxInFlight(0);
    QCOMPARE(engine.maxInFlight(), 1);
    engine.setMaxInFlight(4);
    QSignalSpy finished(&engine, &SurveyEngine::finished);

    engine.startNew(kPrefix, 100, 120, me());
    QTRY_COMPARE(fake->waitingCount(), 4);
    // No fifth address starts while four are held, and no row can be appended.
    settleEvents();
    QCOMPARE(fake->waitingCount(), 4);
    QCOMPARE(fake->callCount(FakeProbes::kIpToHost), 4);
    QCOMPARE(lists.entryCount(), 0);
    fake->releaseAll();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(lists.entryCount(), 21);
    QCOMPARE(fake->maxConcurrent(), 4);

    // One in flight is the sequential run.
    fake->clearCalls();
    fake->hold(FakeProbes::kPing);
    engine.setMaxInFlight(1);
    engine.startNew(kPrefix, 100, 103, me());
    QTRY_COMPARE(fake->waitingCount(), 1);
    settleEvents();
    QCOMPARE(fake->callCount(FakeProbes::kIpToHost), 1);
    fake->releaseAll();
    QTRY_COMPARE(finished.count(), 2);
    QCOMPARE(fake->maxConcurrent(), 1);
    QCOMPARE(fake->argumentsOf(FakeProbes::kPing),
             (QStringList{ip(100), ip(101), ip(102), ip(103)}));
}

void TestSurveyEngine::inFlightBudget_data()
{
    QTest::addColumn<qint64>("openFiles");
    QTest::addColumn<qint64>("tasks");
    QTest::addColumn<int>("expected");
    const qint64 none = -1;
    // 20 descriptors and 10 threads in use; an address costs 10 and 2.
    QTest::newRow("no limits: the whole range") << none << none << 255;
    QTest::newRow("the tighter limit holds") << qint64(1024) << qint64(142) << 50;
    QTest::newRow("nothing left: still one") << qint64(50) << none << 1;
}

void TestSurveyEngine::inFlightBudget()
{
    QFETCH(qint64, openFiles);
    QFETCH(qint64, tasks);
    QFETCH(int, expected);
    const ProcessLimits limits{openFiles, 20, tasks, 10};
    QCOMPARE(affordableInFlight(255, ProbeCost{10, 2}, limits), expected);
}

void TestSurveyEngine::sequentialAndParallelRunsAgree_data()
{
    QTest::addColumn<bool>("resurvey");
    QTest::addColumn<QString>("cancelAt");
    QTest::newRow("new survey") << false << QString();
    QTest::newRow("new survey cancelled") << false << u"25/60"_s;
    QTest::newRow("re-survey") << true << QString();
    QTest::newRow("re-survey cancelled") << true << u"20/60"_s;
}

void TestSurveyEngine::sequentialAndParallelRunsAgree()
{
    QFETCH(bool, resurvey);
    QFETCH(QString, cancelAt);

    // One script for every run: random answers, errors and delays, so that parallel
    // probes finish in an order of their own.
    QRandomGenerator random(20240611);
    auto script = [&](int i) {
        FakeProbes::Script s;
        s.host = random.bounded(3) ? u"host%1"_s.arg(i) : QString();
        s.answered = random.bounded(2);
        s.mac = random.bounded(4) ? u"00-00-00-00-00-%1"_s.arg(i, 2, 16, QChar(u'0')).toUpper()
                                  : QString();
        s.pingError = random.bounded(10) == 0;
        s.macError = random.bounded(10) == 0;
        s.delayMs = int(random.bounded(6));
        return s;
    };
    QList<FakeProbes::Script> scripts;
    QStringList old{AddressList::csvHeader()};
    for (int i = 1; i <= 60; ++i) {
        scripts << script(i);
        const int kind = int(random.bounded(4));
        old << ip(i) + (kind == 0   ? u",,"_s
                        : kind == 1 ? u",known,"_s
                        : kind == 2 ? u",,00-00-00-00-00-01"_s
                                    : u",known,00-00-00-00-00-01"_s);
    }

    struct Outcome {
        QStringList events;
        QStringList data;
        QStringList dat2;
        QStringList added;
    };
    auto run = [&](int inFlight) {
        auto fake = std::make_shared<FakeProbes>();
        for (int i = 1; i <= 60; ++i)
            fake->setScript(ip(i), scripts.at(i - 1));
        SurveyLists lists;
        load(lists, old);
        SurveyEngine engine(fake, lists);
        engine.setMaxInFlight(inFlight);
        Recorder recorder(engine, lists, fake.get());
        connect(&engine, &SurveyEngine::captionChanged, &engine, [&](const QString& caption) {
            if (caption == cancelAt)
                engine.cancel();
        });
        if (resurvey)
            engine.startResurvey(me());
        else
            engine.startNew(kPrefix, 1, 60, me());
        [&] {
            QVERIFY(waitFinished(engine, recorder));
        }();
        return Outcome{recorder.events, lists.lstDataRows(), lists.lstDat2(), recorder.added};
    };

    const Outcome sequential = run(1);
    // Every row appended, carried-over ones included, is announced as it is appended.
    QCOMPARE(sequential.added, sequential.dat2.mid(1));
    if (cancelAt.isEmpty()) {
        QVERIFY(sequential.events.contains(u"error subPing"_s));
        QVERIFY(sequential.events.contains(u"error subMacGet"_s));
    } else {
        QVERIFY(sequential.events.contains(u"caption "_s + cancelAt));
    }
    for (int inFlight : {4, 32}) {
        const Outcome parallel = run(inFlight);
        QCOMPARE(parallel.events, sequential.events);
        QCOMPARE(parallel.data, sequential.data);
        QCOMPARE(parallel.dat2, sequential.dat2);
    }
}

void TestSurveyEngine::deletingTheEngineMidRun()
{
    auto fake = std::make_shared<FakeProbes>();
    fake->hold(FakeProbes::kPing);
    fake->hold(FakeProbes::kMacOf);
    SurveyLists lists;
    auto* engine = new SurveyEngine(fake, lists);
    engine->setMaxInFlight(6);
    int signalsAfterDelete = 0;
    engine->startNew(kPrefix, 1, 40, me());
    QTRY_COMPARE(fake->waitingCount(), 6);
    QObject guard;
    connect(engine, &SurveyEngine::captionChanged, &guard, [&] { ++signalsAfterDelete; });
    delete engine;

    // Every probe was stopped and has returned; nothing is left to report.
    QCOMPARE(fake->running(), 0);
    QCOMPARE(fake->stoppedCount(), 6);
    for (const StopToken& token : fake->stopTokens())
        QVERIFY(token.stopRequested());
    settleEvents();
    QCOMPARE(signalsAfterDelete, 0);
    QCOMPARE(lists.entryCount(), 0);
}

void TestSurveyEngine::deletingTheEngineFromAnErrorBox()
{
    // The window may close while a box is up: the engine goes away inside its own signal.
    auto fake = std::make_shared<FakeProbes>();
    FakeProbes::Script pingError;
    pingError.pingError = true;
    fake->setDefaultScript(pingError);
    SurveyLists lists;
    QPointer<SurveyEngine> engine = new SurveyEngine(fake, lists);
    connect(engine, &SurveyEngine::probeError, engine, [&] { delete engine.data(); });
    engine->startNew(kPrefix, 1, 10, me());
    QTRY_VERIFY(engine.isNull());
    settleEvents();
    QCOMPARE(lists.entryCount(), 0);
    QCOMPARE(fake->running(), 0);
}

QTEST_GUILESS_MAIN(TestSurveyEngine)
#include "tst_surveyengine.moc"
