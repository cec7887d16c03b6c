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
    m_tasks->waitForNone();
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
    Targets targets;
    targets.count = first <= last ? std::size_t(qint64(last) - first + 1) : 0;
    targets.at = [prefix, first, me](std::size_t k) {
        return newSurveyTarget(prefix + QString::number(first + qint64(k)), me);
    };
    begin(std::move(targets), me, false, first, last);
}

void SurveyEngine::startNew(std::vector<AddressRanges::Range> ranges, const OwnIdentity& me)
{
    if (isRunning())
        return;
    m_lists.resetToHeaders();
    auto addresses = std::make_shared<const AddressRanges::Sequence>(std::move(ranges));
    Targets targets;
    targets.count = std::size_t(addresses->size());
    targets.at = [addresses, me](std::size_t k) {
        return newSurveyTarget(AddressRanges::dotted(addresses->at(k)), me);
    };
    const int count = int(targets.count);
    begin(std::move(targets), me, false, 1, count);
}

void SurveyEngine::startResurvey(const OwnIdentity& me)
{
    if (isRunning())
        return;
    auto targets = std::make_shared<std::vector<SurveyTarget>>();
    // With only the header there is nothing to survey, and the lists stay as they are.
    if (m_lists.entryCount() > 0) {
        const QList<AddressEntry> old = m_lists.entries();
        m_lists.copyDat2ToDat3();
        m_lists.resetToHeaders();
        targets->reserve(std::size_t(old.size()));
        for (const AddressEntry& entry : old)
            targets->push_back(resurveyTarget(entry, me));
    }
    // The caption counts the entries: a re-survey walks the list, not the range.
    const int entries = int(targets->size());
    begin({targets->size(),
           [targets](std::size_t k) {
               return (*targets)[k];
           }},
          me, true, 1, entries);
}

void SurveyEngine::begin(Targets targets, const OwnIdentity& me, bool resurvey, qint64 firstNumber,
                         int captionEnd)
{
    Run run;
    run.serial = ++m_runs;
    run.me = me;
    run.resurvey = resurvey;
    run.firstNumber = firstNumber;
    run.captionEnd = captionEnd;
    run.inFlight =
        affordableInFlight(m_maxInFlight, m_probes->costPerAddress(), currentProcessLimits());
    run.targets = std::move(targets);
    m_run = std::move(run);
    // The first row waits for one turn of the event loop, so the cleared list is shown
    // and start returns before anything else happens.
    schedulePump();
}

void SurveyEngine::cancel()
{
    if (!isRunning() || m_run->cancelled)
        return;
    Run& run = *m_run;
    run.cancelled = true;
    // Like a sequential run, the address the run has waited for finishes and gets its
    // entry; a click at a row boundary, before the next address is waited for, stops the
    // run there. Everything probed ahead stops now. The turn or the report the phase
    // waits for comes anyway, and ends the run.
    const bool headStillComes = run.phase == Phase::AwaitingHead || run.phase == Phase::HeadIn ||
                                run.phase == Phase::ErrorBox;
    stopFrom(headStillComes ? run.next + 1 : run.next);
}

// ---- The phases -----------------------------------------------------------------

constexpr bool SurveyEngine::mayFollow(Phase from, Phase to)
{
    switch (from) {
    case Phase::Boundary:
        // At the turn: a row that needs no probes is appended at once, one whose report is
        // in has its boxes, one whose probes are out is waited for; a cancelled or
        // complete run drains.
        return to == Phase::Boundary || to == Phase::ErrorBox || to == Phase::AwaitingHead ||
               to == Phase::Draining;
    case Phase::AwaitingHead: // the row's report
        return to == Phase::HeadIn;
    case Phase::HeadIn: // the turn
        return to == Phase::ErrorBox;
    case Phase::ErrorBox: // the boxes have returned, and the row is appended
        return to == Phase::Boundary;
    case Phase::Draining: // no probe task is left to report
        return to == Phase::Over;
    case Phase::Over:
        break;
    }
    return false;
}

void SurveyEngine::moveTo(Phase phase)
{
    Run& run = *m_run;
    Q_ASSERT(mayFollow(run.phase, phase));
    run.phase = phase;
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
    if (!m_run)
        return;
    Run& run = *m_run;
    switch (run.phase) {
    case Phase::Boundary:
        break;
    case Phase::HeadIn:
        // The turn the head's report queued: its row comes, even after a cancel.
        appendHead();
        return;
    case Phase::AwaitingHead: // the report gives the turn
    case Phase::ErrorBox:     // a modal box runs its own event loop: the row after it waits
    case Phase::Draining:
    case Phase::Over:
        return;
    }

    if (run.pendingSelect >= 0) {
        const int row = std::exchange(run.pendingSelect, -1);
        if (!run.cancelled)
            emit selectRow(row);
    }
    if (run.cancelled || run.next == run.targets.count) {
        drain();
        return;
    }
    dispatch();
    const AddressSlot& head = run.window.front();
    if (head.target.kind == SurveyTarget::Kind::Probe && !head.found)
        moveTo(Phase::AwaitingHead);
    else
        appendHead();
}

void SurveyEngine::dispatch()
{
    Run& run = *m_run;
    while (run.dispatched < run.targets.count && run.outstanding < run.inFlight) {
        const std::size_t index = run.dispatched++;
        // Each slot gets a stop of its own, so that a cancel can spare the one being waited for.
        AddressSlot& slot = run.window.emplace_back();
        slot.target = run.targets.at(index);
        if (slot.target.kind != SurveyTarget::Kind::Probe)
            continue;
        ++run.outstanding;
        const QString& ip = slot.target.before.ip;
        m_tasks->started();
        m_probes->startAddress(
            ip, run.me, slot.stop,
            [this, serial = run.serial, index, tasks = m_tasks](const AddressFindings& found) {
                tasks->reported([&] {
                    QMetaObject::invokeMethod(
                        this, [this, serial, index, found] { probed(serial, index, found); },
                        Qt::QueuedConnection);
                });
            });
    }
}

void SurveyEngine::probed(quint64 serial, std::size_t index, const AddressFindings& found)
{
    // A run ends once no task is left to report, which may be before every report it
    // queued has been handled; a report handled after that is for nobody.
    if (!m_run || m_run->serial != serial || m_run->phase == Phase::Over)
        return;
    Run& run = *m_run;
    if (run.phase == Phase::Draining) {
        finishWhenIdle();
        return;
    }
    slot(index).found = found;
    if (run.phase == Phase::AwaitingHead && index == run.next) {
        moveTo(Phase::HeadIn);
        schedulePump();
    }
}

// Appends the next row: once its probes have reported, or at once for a row that needs
// none. False when the engine was deleted from an error box.
bool SurveyEngine::appendHead()
{
    Run& run = *m_run;
    AddressSlot& head = run.window.front();
    AddressFindings found;
    if (head.target.kind == SurveyTarget::Kind::Probe) {
        found = *std::exchange(head.found, std::nullopt);
        --run.outstanding;
        // A cancel while the boxes are up keeps this row and stops everything after it.
        moveTo(Phase::ErrorBox);
        if (!reportErrors(found))
            return false;
    }
    moveTo(Phase::Boundary);
    appendRow(surveyedRow(run.window.front().target, run.me, found), found.presence);
    // Queued only now, after whatever the row's signals queued: a click they let through
    // is handled before the next row.
    schedulePump();
    return true;
}

// The boxes come in the order a sequential run shows them, just before the row.
bool SurveyEngine::reportErrors(const AddressFindings& found)
{
    QPointer<SurveyEngine> self(this);
    if (found.pingError)
        emit probeError(u"subPing"_s);
    if (self && found.macError)
        emit probeError(u"subMacGet"_s);
    // One unreadable table usually means the next one too: said once, not per address.
    if (self && found.neighboursUnread && !std::exchange(m_run->tableUnreadSaid, true))
        emit neighbourTableUnread();
    return !self.isNull();
}

void SurveyEngine::appendRow(const AddressEntry& row, Presence presence)
{
    Run& run = *m_run;
    const qint64 number = run.firstNumber + qint64(run.next);
    m_lists.append(row);
    ++run.next;
    run.dispatched = std::max(run.dispatched, run.next);
    if (!run.window.empty())
        run.window.pop_front();
    run.pendingSelect = m_lists.count() - 1;
    emit rowAdded(row, presence);
    // Once cancelled, a re-survey only carries the rest over and shows no more progress.
    if (!(run.resurvey && run.cancelled))
        emit captionChanged(QString::number(number) + u'/' + QString::number(run.captionEnd));
}

// ---- The end of a run -----------------------------------------------------------

void SurveyEngine::drain()
{
    Run& run = *m_run;
    moveTo(Phase::Draining);
    // A re-survey never loses an entry: what it has not reached stays as it was.
    if (run.resurvey) {
        while (run.next < run.targets.count)
            appendRow(run.window.empty() ? run.targets.at(run.next).before
                                         : run.window.front().target.before);
    }
    finishWhenIdle();
}

void SurveyEngine::stopFrom(std::size_t first)
{
    if (!m_run)
        return;
    // Only the window's addresses have had their probes started.
    for (std::size_t k = first > m_run->next ? first - m_run->next : 0; k < m_run->window.size();
         ++k)
        m_run->window[k].stop.requestStop();
}

void SurveyEngine::finishWhenIdle()
{
    // No child process outlives the run: finished waits for every stopped probe.
    if (!m_tasks->none())
        return;
    moveTo(Phase::Over);
    m_run->window.clear();
    m_run->targets = {};
    emit finished();
}

QStringList SurveyEngine::rowsToSave() const
{
    QList<AddressEntry> carried;
    if (isRunning() && m_run->resurvey) {
        const Run& run = *m_run;
        carried.reserve(qsizetype(run.targets.count - run.next));
        for (const AddressSlot& waiting : run.window)
            carried.append(waiting.target.before);
        for (std::size_t k = run.dispatched; k < run.targets.count; ++k)
            carried.append(run.targets.at(k).before);
    }
    return m_lists.lstDat2With(carried);
}

// ---- Probe tasks across threads ---------------------------------------------------

void SurveyEngine::ProbeTasks::started()
{
    const std::lock_guard hold(m_lock);
    ++m_out;
}

bool SurveyEngine::ProbeTasks::none()
{
    const std::lock_guard hold(m_lock);
    return m_out == 0;
}

void SurveyEngine::ProbeTasks::waitForNone()
{
    std::unique_lock hold(m_lock);
    m_none.wait(hold, [this] { return m_out == 0; });
}
