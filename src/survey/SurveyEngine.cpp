#include "survey/SurveyEngine.h"

#include "survey/AddressList.h"
#include "survey/InFlightBudget.h"
#include "survey/SurveyLists.h"

#include <QPointer>

#include <algorithm>

SurveyEngine::SurveyEngine(std::shared_ptr<NetworkProbes> probes, SurveyLists& lists,
                           QObject* parent)
    : QObject(parent)
    , m_probes(std::move(probes))
    , m_lists(lists)
{
    // A whole range of probe threads at the default 8 MiB each would reserve 2 GiB of
    // address space, which a limit on it turns into threads that never start. A probe
    // needs little stack; the C library's resolver sizes its buffers to the stack.
    m_pool.setStackSize(1024 * 1024);
    m_pool.setMaxThreadCount(m_maxInFlight);
}

SurveyEngine::~SurveyEngine()
{
    // Probes still running see the stop and kill their child processes; tasks not yet
    // started are dropped. Their queued reports die with this object.
    stopFrom(0);
    m_pool.clear();
    m_pool.waitForDone();
}

void SurveyEngine::setMaxInFlight(int count)
{
    m_maxInFlight = std::max(1, count);
}

void SurveyEngine::startNew(const QString& prefix, int first, int last, const OwnIdentity& me)
{
    if (m_running)
        return;
    m_lists.resetToHeaders();
    m_jobs.clear();
    if (first <= last)
        m_jobs.reserve(std::size_t(qint64(last) - first + 1));
    for (qint64 i = first; i <= last; ++i) {
        Job job;
        job.ip = prefix + QString::number(i);
        job.kind = job.ip == me.myIp ? Kind::Own : Kind::Probe;
        m_jobs.push_back(std::move(job));
    }
    m_firstNumber = first;
    begin(me, false, last);
}

void SurveyEngine::startResurvey(const OwnIdentity& me)
{
    if (m_running)
        return;
    m_jobs.clear();
    // With only the header there is nothing to survey, and the lists stay as they are.
    if (m_lists.lstDat2().size() > 1) {
        m_lists.copyDat2ToDat3();
        m_lists.resetToHeaders();
        const QStringList& old = m_lists.lstDat3();
        m_jobs.reserve(std::size_t(old.size() - 1));
        for (qsizetype i = 1; i < old.size(); ++i) {
            const AddressEntry entry = SplitCsvRow(old.at(i));
            Job job{entry.ip, entry.host, entry.mac, Kind::Probe};
            if (!entry.host.isEmpty() && !entry.mac.isEmpty())
                job.kind = Kind::Carry;
            else if (entry.ip == me.myIp)
                job.kind = Kind::Own;
            m_jobs.push_back(std::move(job));
        }
    }
    m_firstNumber = 1;
    begin(me, true, int(m_jobs.size()));
}

void SurveyEngine::begin(const OwnIdentity& me, bool resurvey, int captionEnd)
{
    m_me = me;
    m_resurvey = resurvey;
    m_captionEnd = captionEnd;
    m_results.assign(m_jobs.size(), std::nullopt);
    m_next = 0;
    m_dispatched = 0;
    m_outstanding = 0;
    m_unreported = 0;
    m_pendingSelect = -1;
    // A token of its own for each job: copies of one token would share its flag.
    m_stops.clear();
    m_stops.resize(m_jobs.size());
    m_waitingForHead = false;
    m_finishHead = false;
    m_running = true;
    m_cancel = false;
    m_stopping = false;
    m_inCommit = false;
    m_inFlight =
        affordableInFlight(m_maxInFlight, m_probes->costPerAddress(), currentProcessLimits());
    m_pool.setMaxThreadCount(m_inFlight);
    // The first row waits for one turn of the event loop, so the cleared list is shown
    // and start returns before anything else happens.
    schedulePump();
}

void SurveyEngine::cancel()
{
    if (!m_running || m_cancel)
        return;
    m_cancel = true;
    // The address the run is waiting for is the one being probed: like a sequential
    // run, it finishes and gets its entry. A click at a row boundary, before the next
    // address is waited for, stops the run there. Everything probed ahead stops now.
    m_finishHead = m_waitingForHead;
    stopFrom(m_finishHead ? m_next + 1 : m_next);
    schedulePump();
}

void SurveyEngine::schedulePump()
{
    if (m_pumpQueued)
        return;
    m_pumpQueued = true;
    QMetaObject::invokeMethod(this, &SurveyEngine::pump, Qt::QueuedConnection);
}

// One row per call. Each call comes from the event loop, so between two rows the window
// paints and a cancel click is handled.
void SurveyEngine::pump()
{
    m_pumpQueued = false;
    // A modal box shown for the row being committed runs its own event loop: the row
    // after it has to wait until that commit is complete.
    if (!m_running || m_stopping || m_inCommit)
        return;

    if (m_pendingSelect >= 0) {
        const int row = m_pendingSelect;
        m_pendingSelect = -1;
        if (!m_cancel)
            emit selectRow(row);
    }

    if (m_cancel && m_finishHead) {
        if (!commitNext())
            return; // its report schedules the next call
        m_finishHead = false;
        schedulePump();
        return;
    }
    if (m_cancel) {
        if (m_resurvey)
            carryOverRest();
        m_stopping = true;
        finishWhenIdle();
        return;
    }
    if (m_next >= m_jobs.size()) {
        m_stopping = true;
        finishWhenIdle();
        return;
    }

    dispatch();
    if (commitNext())
        schedulePump();
    // Otherwise the row's probes are still running; their report schedules the next call.
}

void SurveyEngine::dispatch()
{
    while (m_dispatched < m_jobs.size() && m_outstanding < m_inFlight) {
        const std::size_t index = m_dispatched++;
        const Job& job = m_jobs[index];
        if (job.kind != Kind::Probe)
            continue;
        ++m_outstanding;
        ++m_unreported;
        m_pool.start(
            [this, probes = m_probes, ip = job.ip, me = m_me, stop = m_stops[index], index] {
                const AddressFindings result = probes->probeAddress(ip, me, stop);
                QMetaObject::invokeMethod(
                    this, [this, index, result] { probed(index, result); }, Qt::QueuedConnection);
            });
    }
}

void SurveyEngine::probed(std::size_t index, const AddressFindings& result)
{
    --m_unreported;
    if (m_stopping) {
        finishWhenIdle();
        return;
    }
    if (index < m_results.size())
        m_results[index] = result;
    if (index == m_next)
        schedulePump();
}

bool SurveyEngine::commitNext()
{
    const std::size_t index = m_next;
    const Job& job = m_jobs[index];
    QString host;
    QString mac;
    switch (job.kind) {
    case Kind::Carry:
        host = job.oldHost;
        mac = job.oldMac;
        break;
    case Kind::Own:
        host = m_me.pcName;
        mac = m_me.myMac;
        break;
    case Kind::Probe: {
        if (!m_results[index]) {
            m_waitingForHead = true;
            return false;
        }
        // From here on this row is being committed, no longer waited for: a cancel
        // during its error box keeps it and stops everything after it.
        m_waitingForHead = false;
        const AddressFindings result = *m_results[index];
        m_results[index].reset();
        --m_outstanding;

        // The boxes come in the order a sequential run shows them, just before the row.
        QPointer<SurveyEngine> self(this);
        m_inCommit = true;
        if (result.pingError)
            emit probeError(QStringLiteral("subPing"));
        if (self && result.macError)
            emit probeError(QStringLiteral("subMacGet"));
        if (!self)
            return false;
        m_inCommit = false;

        host = result.host;
        mac = result.mac;
        // A probe that finds nothing does not wipe what an earlier survey found.
        if (m_resurvey && host.isEmpty() && mac.isEmpty() &&
            (!job.oldHost.isEmpty() || !job.oldMac.isEmpty())) {
            host = job.oldHost;
            mac = job.oldMac;
        }
        break;
    }
    }

    m_lists.append(job.ip, host, mac);
    ++m_next;
    m_waitingForHead = false;
    m_pendingSelect = m_lists.count() - 1;
    const qint64 number = m_resurvey ? qint64(index) + 1 : qint64(m_firstNumber) + qint64(index);
    // Once cancelled, a re-survey only carries the rest over and shows no more progress.
    if (!(m_resurvey && m_cancel))
        emit captionChanged(QString::number(number) + u'/' + QString::number(m_captionEnd));
    return true;
}

QStringList SurveyEngine::rowsToSave() const
{
    QStringList rows = m_lists.lstDat2();
    if (m_running && m_resurvey) {
        for (std::size_t k = m_next; k < m_jobs.size(); ++k)
            rows.append(MakeCsvRow(m_jobs[k].ip, m_jobs[k].oldHost, m_jobs[k].oldMac));
    }
    return rows;
}

void SurveyEngine::stopFrom(std::size_t first)
{
    for (std::size_t k = first; k < m_stops.size(); ++k)
        m_stops[k].requestStop();
}

void SurveyEngine::carryOverRest()
{
    for (; m_next < m_jobs.size(); ++m_next) {
        const Job& job = m_jobs[m_next];
        m_lists.append(job.ip, job.oldHost, job.oldMac);
    }
}

void SurveyEngine::finishWhenIdle()
{
    // No child process outlives the run: finished waits for every stopped probe.
    if (!m_running || !m_stopping || m_unreported > 0)
        return;
    m_running = false;
    m_jobs.clear();
    m_results.clear();
    emit finished();
}
