#include "survey/SurveyEngine.h"

#include "survey/AddressList.h"
#include "survey/InFlightBudget.h"
#include "survey/SurveyLists.h"

#include <QPointer>

#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

SurveyEngine::SurveyEngine(std::shared_ptr<NetworkProbes> probes, SurveyLists& lists,
                           QObject* parent)
    : QObject(parent)
    , m_probes(std::move(probes))
    , m_lists(lists)
{}

SurveyEngine::~SurveyEngine()
{
    // Probes still running see the stop and kill their child processes; those not yet
    // begun report nothing found at once. Their queued reports die with this object.
    stopFrom(0);
    std::unique_lock hold(m_reports->lock);
    m_reports->changed.wait(hold, [this] { return m_reports->out == 0; });
}

void SurveyEngine::setMaxInFlight(int count)
{
    m_maxInFlight = std::max(1, count);
}

// ---- Starting a run -------------------------------------------------------------

void SurveyEngine::startNew(const QString& prefix, int first, int last, const OwnIdentity& me)
{
    if (isRunning())
        return;
    m_lists.resetToHeaders();
    std::vector<SurveyTarget> targets;
    if (first <= last)
        targets.reserve(std::size_t(qint64(last) - first + 1));
    for (qint64 i = first; i <= last; ++i)
        targets.push_back(newSurveyTarget(prefix + QString::number(i), me));
    begin(std::move(targets), me, false, first, last);
}

void SurveyEngine::startResurvey(const OwnIdentity& me)
{
    if (isRunning())
        return;
    std::vector<SurveyTarget> targets;
    // With only the header there is nothing to survey, and the lists stay as they are.
    if (m_lists.lstDat2().size() > 1) {
        m_lists.copyDat2ToDat3();
        m_lists.resetToHeaders();
        const QStringList& old = m_lists.lstDat3();
        targets.reserve(std::size_t(old.size() - 1));
        for (qsizetype i = 1; i < old.size(); ++i)
            targets.push_back(resurveyTarget(old.at(i), me));
    }
    // The caption counts the entries: a re-survey walks the list, not the range.
    const int entries = int(targets.size());
    begin(std::move(targets), me, true, 1, entries);
}

void SurveyEngine::begin(std::vector<SurveyTarget> targets, const OwnIdentity& me, bool resurvey,
                         qint64 firstNumber, int captionEnd)
{
    Run run;
    run.me = me;
    run.resurvey = resurvey;
    run.firstNumber = firstNumber;
    run.captionEnd = captionEnd;
    run.inFlight =
        affordableInFlight(m_maxInFlight, m_probes->costPerAddress(), currentProcessLimits());
    // Each slot gets a stop of its own, so that a cancel can spare the one being waited for.
    run.addresses.resize(targets.size());
    for (std::size_t k = 0; k < targets.size(); ++k)
        run.addresses[k].target = std::move(targets[k]);
    m_run = std::move(run);
    // The first row waits for one turn of the event loop, so the cleared list is shown
    // and start returns before anything else happens.
    schedulePump();
}

void SurveyEngine::cancel()
{
    if (!isRunning() || m_run->cancel)
        return;
    Run& run = *m_run;
    run.cancel = true;
    // The address the run is waiting for is the one being probed: like a sequential
    // run, it finishes and gets its entry. A click at a row boundary, before the next
    // address is waited for, stops the run there. Everything probed ahead stops now.
    run.finishHead = run.waitingForHead;
    stopFrom(run.finishHead ? run.next + 1 : run.next);
    schedulePump();
}

// ---- One row per turn of the event loop -----------------------------------------

void SurveyEngine::schedulePump()
{
    if (m_pumpQueued)
        return;
    m_pumpQueued = true;
    QMetaObject::invokeMethod(this, &SurveyEngine::pump, Qt::QueuedConnection);
}

// Each call comes from the event loop, so between two rows the window paints and a
// cancel click is handled.
void SurveyEngine::pump()
{
    m_pumpQueued = false;
    // A modal box shown for the row being appended runs its own event loop: the row
    // after it has to wait until that row is complete.
    if (!m_run || m_run->phase != Phase::Running || m_run->inCommit)
        return;
    Run& run = *m_run;

    if (run.pendingSelect >= 0) {
        const int row = std::exchange(run.pendingSelect, -1);
        if (!run.cancel)
            emit selectRow(row);
    }

    // After a cancel only the row that was being waited for still comes.
    const bool more = run.cancel ? run.finishHead : run.next < run.addresses.size();
    if (!more) {
        stopRun();
        return;
    }
    if (!run.cancel)
        dispatch();
    // Otherwise the row's probes are still running, and their report calls again.
    if (!appendNext())
        return;
    run.finishHead = false;
    schedulePump();
}

void SurveyEngine::dispatch()
{
    Run& run = *m_run;
    while (run.dispatched < run.addresses.size() && run.outstanding < run.inFlight) {
        const std::size_t index = run.dispatched++;
        const AddressSlot& slot = run.addresses[index];
        if (slot.target.kind != SurveyTarget::Kind::Probe)
            continue;
        ++run.outstanding;
        ++run.unreported;
        const QString& ip = slot.target.before.ip;
        // The count lets the destructor wait for the reports still out.
        m_reports->change(+1);
        m_probes->startAddress(ip, run.me, slot.stop,
                               [this, index, reports = m_reports](const AddressFindings& found) {
                                   QMetaObject::invokeMethod(
                                       this, [this, index, found] { probed(index, found); },
                                       Qt::QueuedConnection);
                                   reports->change(-1);
                               });
    }
}

void SurveyEngine::probed(std::size_t index, const AddressFindings& found)
{
    // A run ends only once every probe has reported: this report is the current run's.
    Run& run = *m_run;
    --run.unreported;
    if (run.phase == Phase::Stopping) {
        finishWhenIdle();
        return;
    }
    run.addresses[index].found = found;
    if (index == run.next)
        schedulePump();
}

// Appends the next row once its probes have reported. False while they have not, and
// when the engine was deleted from an error box.
bool SurveyEngine::appendNext()
{
    Run& run = *m_run;
    AddressSlot& slot = run.addresses[run.next];
    AddressFindings found;
    if (slot.target.kind == SurveyTarget::Kind::Probe) {
        if (!slot.found) {
            run.waitingForHead = true;
            return false;
        }
        // From here on this row is being appended, no longer waited for: a cancel
        // during its error box keeps it and stops everything after it.
        run.waitingForHead = false;
        found = *std::exchange(slot.found, std::nullopt);
        --run.outstanding;
        if (!reportErrors(found))
            return false;
    }
    appendRow(surveyedRow(slot.target, run.me, found));
    return true;
}

// The boxes come in the order a sequential run shows them, just before the row.
bool SurveyEngine::reportErrors(const AddressFindings& found)
{
    QPointer<SurveyEngine> self(this);
    m_run->inCommit = true;
    if (found.pingError)
        emit probeError(u"subPing"_s);
    if (self && found.macError)
        emit probeError(u"subMacGet"_s);
    // One unreadable table usually means the next one too: said once, not per address.
    if (self && found.neighboursUnread && !std::exchange(m_run->tableUnreadSaid, true))
        emit neighbourTableUnread();
    if (!self)
        return false;
    m_run->inCommit = false;
    return true;
}

void SurveyEngine::appendRow(const AddressEntry& row)
{
    Run& run = *m_run;
    const qint64 number = run.firstNumber + qint64(run.next);
    m_lists.append(row);
    ++run.next;
    run.waitingForHead = false;
    run.pendingSelect = m_lists.count() - 1;
    emit rowAdded(row);
    // Once cancelled, a re-survey only carries the rest over and shows no more progress.
    if (!(run.resurvey && run.cancel))
        emit captionChanged(QString::number(number) + u'/' + QString::number(run.captionEnd));
}

// ---- The end of a run -----------------------------------------------------------

void SurveyEngine::stopRun()
{
    Run& run = *m_run;
    // A re-survey never loses an entry: what it has not reached stays as it was.
    if (run.resurvey) {
        while (run.next < run.addresses.size())
            appendRow(run.addresses[run.next].target.before);
    }
    run.phase = Phase::Stopping;
    finishWhenIdle();
}

void SurveyEngine::stopFrom(std::size_t first)
{
    if (!m_run)
        return;
    for (std::size_t k = first; k < m_run->addresses.size(); ++k)
        m_run->addresses[k].stop.requestStop();
}

void SurveyEngine::finishWhenIdle()
{
    Run& run = *m_run;
    // No child process outlives the run: finished waits for every stopped probe.
    if (run.phase != Phase::Stopping || run.unreported > 0)
        return;
    run.phase = Phase::Over;
    run.addresses.clear();
    emit finished();
}

QStringList SurveyEngine::rowsToSave() const
{
    QStringList rows = m_lists.lstDat2();
    if (isRunning() && m_run->resurvey) {
        for (std::size_t k = m_run->next; k < m_run->addresses.size(); ++k) {
            const AddressEntry& before = m_run->addresses[k].target.before;
            rows.append(MakeCsvRow(before.ip, before.host, before.mac));
        }
    }
    return rows;
}
