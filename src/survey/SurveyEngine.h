#pragma once

#include "probes/NetworkProbes.h"
#include "probes/StopToken.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <optional>
#include <vector>

class SurveyLists;

// The survey run behind cmdStart_Click, once the boxes are validated and the user has
// confirmed: it fills the lists entry by entry and reports progress by signal.
//
// The probes run on the engine's own thread pool, up to maxInFlight() addresses ahead
// of the list, while the rows are still appended strictly in address order, one per
// turn of the event loop, each followed by its caption. With one address in flight the
// run is the plain sequential one. start*() returns at once; finished() follows, once,
// from the event loop. A start while a run is in progress is ignored.
class SurveyEngine : public QObject {
    Q_OBJECT
public:
    // Addresses probed at the same time by default: a whole range, so that a /24 of
    // mostly dead addresses costs one ping wait rather than (dead addresses / bound)
    // of them. Measured in the lab (bench_survey_lab), 8.1 s at 32, 4.1 s at 64,
    // 2.1 s at 128 and 1.2 s at 254. Each start lowers it by itself to what the
    // process's limits of descriptors and tasks can afford (InFlightBudget).
    static constexpr int kDefaultMaxInFlight = 255;

    SurveyEngine(std::shared_ptr<NetworkProbes> probes, SurveyLists& lists,
                 QObject* parent = nullptr);
    // Stops the probes in flight and waits for them; nothing reaches a destroyed engine.
    ~SurveyEngine() override;

    // Takes effect at the next start; 1 gives the sequential run.
    void setMaxInFlight(int count);
    int maxInFlight() const { return m_maxInFlight; }
    // The bound of the run in progress or the last one, after its limits.
    int inFlight() const { return m_inFlight; }

    bool isRunning() const { return m_running; }

    // lstDat2 as it would stand if the run were cancelled now: a re-survey carries the
    // entries it has not rebuilt yet over unchanged. What a save must write while a run
    // is still going (the desktop session ends), so that no entry is lost.
    QStringList rowsToSave() const;
    bool cancelRequested() const { return m_cancel; }

    // New survey: the lists are cleared to their headers at once, then prefix + i is
    // surveyed for i from `first` to `last` (nothing when first > last). The caption
    // of each row is "i/last".
    void startNew(const QString& prefix, int first, int last, const OwnIdentity& me);
    // Re-survey of the entries of lstDat2 whose host name or MAC is blank. The caption
    // of row i is "i/n" for n entries. With no entries the lists are left alone.
    void startResurvey(const OwnIdentity& me);

    // cmdCancel_Click: noticed at the next row boundary. The address the run is
    // waiting for when the click comes still finishes and gets its entry; the probes
    // of the addresses after it are stopped at once. A new survey then keeps the rows
    // appended so far; a re-survey carries every remaining entry over unchanged.
    void cancel();

signals:
    // A probe failed for the address whose row comes next ("subPing" or "subMacGet").
    // A connected slot may show a modal box: no row is appended until it returns.
    void probeError(const QString& procedureName);
    // The window caption after a row, e.g. "17/254".
    void captionChanged(const QString& caption);
    // The newest row of lstData should be selected to keep it in view.
    void selectRow(int row);
    // The run is over: after the last entry, after a cancel, or with nothing to do.
    void finished();

private:
    enum class Kind { Carry, Own, Probe };
    struct Job {
        QString ip;
        QString oldHost;
        QString oldMac;
        Kind kind = Kind::Probe;
    };

    void begin(const OwnIdentity& me, bool resurvey, int captionEnd);
    void schedulePump();
    void pump();
    void dispatch();
    void probed(std::size_t index, const AddressFindings& result);
    bool commitNext();
    void carryOverRest();
    void stopFrom(std::size_t first);
    void finishWhenIdle();

    std::shared_ptr<NetworkProbes> m_probes;
    SurveyLists& m_lists;
    QThreadPool m_pool;
    int m_maxInFlight = kDefaultMaxInFlight;
    int m_inFlight = 0;

    OwnIdentity m_me;
    bool m_resurvey = false;
    int m_captionEnd = 0;
    int m_firstNumber = 0;
    std::vector<Job> m_jobs;
    std::vector<std::optional<AddressFindings>> m_results;
    std::size_t m_next = 0;         // the next job to commit
    std::size_t m_dispatched = 0;   // jobs before this one have their probes started
    int m_outstanding = 0;          // probes started and not yet committed or discarded
    int m_unreported = 0;           // probe tasks that have not reported back
    int m_pendingSelect = -1;       // row to select once the event loop has had its turn
    std::vector<StopToken> m_stops; // one per job, so a cancel can spare the head
    bool m_waitingForHead = false;  // the next row's probes run and the run waits for them
    bool m_finishHead = false;      // cancelled while waiting: that row still gets its entry
    bool m_running = false;
    bool m_cancel = false;
    bool m_stopping = false; // no further rows: waiting for the probes to return
    bool m_pumpQueued = false;
    bool m_inCommit = false;
};
