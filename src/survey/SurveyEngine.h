#pragma once

#include "probes/NetworkProbes.h"
#include "survey/AddressRanges.h"
#include "survey/RowDecision.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class SurveyLists;

// The survey run behind cmdStart_Click, once the boxes are validated and the user has
// confirmed: it fills the lists entry by entry and reports progress by signal. What
// each address becomes is RowDecision's; the engine decides when, and in which order.
//
// The probes run up to maxInFlight() addresses ahead of the list (started through
// NetworkProbes::startAddress, on threads the probes own), while the rows are still appended
// strictly in address order, one per turn of the event loop, each followed by its caption. With
// one address in flight the run is the plain sequential one. start*() returns at once; finished()
// follows, once, from the event loop. A start while a run is in progress is ignored.
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
    int inFlight() const { return m_run ? m_run->inFlight : 0; }

    bool isRunning() const { return m_run && m_run->phase != Phase::Over; }

    // lstDat2 as it would stand if the run were cancelled now: a re-survey carries the
    // entries it has not rebuilt yet over unchanged. What a save must write while a run
    // is still going (the desktop session ends), so that no entry is lost.
    QStringList rowsToSave() const;
    bool cancelRequested() const { return m_run && m_run->cancelled; }

    // New survey: the lists are cleared to their headers at once, then prefix + i is
    // surveyed for i from `first` to `last` (nothing when first > last). The caption
    // of each row is "i/last".
    void startNew(const QString& prefix, int first, int last, const OwnIdentity& me);
    // New survey of the command line's ranges, in address order; the caption of row i is
    // "i/n" for n addresses.
    void startNew(std::vector<AddressRanges::Range> ranges, const OwnIdentity& me);
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
    // The neighbour table could not be read for a host that gave no echo reply, so a
    // host that drops ping may be missing from the list. Once a run, like probeError.
    void neighbourTableUnread();
    // A row has been appended to the lists: the entry as lstDat2 now ends with it, and how
    // this run's probes saw the host. The lists keep no such thing: a row that was not
    // probed (the PC's own, one a re-survey carries over) is Presence::Unseen.
    void rowAdded(const AddressEntry& entry, Presence presence);
    // The window caption after a row, e.g. "17/254".
    void captionChanged(const QString& caption);
    // The newest row of lstData should be selected to keep it in view.
    void selectRow(int row);
    // The run is over: after the last entry, after a cancel, or with nothing to do.
    void finished();

private:
    // One address of a run: how it is handled, what its probes found once they have
    // reported and before its row is appended, and the stop for its probes alone.
    struct AddressSlot {
        SurveyTarget target;
        std::optional<AddressFindings> found;
        StopToken stop;
    };
    // What a run waits for; moveTo() makes only the moves mayFollow() lists. A cancel moves
    // none: it says that no row comes after the one the run has already waited for
    // (Run::cancelled), and the turn or report the phase waits for then ends the run.
    enum class Phase {
        Boundary,     // between rows: a turn of the event loop is queued
        AwaitingHead, // the next row's probes are out, and their report gives it a turn
        HeadIn,       // that report is in: the row comes at the queued turn, even if cancelled
        ErrorBox,     // the boxes about the next row are being shown; it follows them
        Draining,     // no further rows: waiting for the probes still out to report
        Over,         // finished() has been sent
    };
    static constexpr bool mayFollow(Phase from, Phase to);
    // The addresses of a run, each made when the run reaches it: a run of a /16 holds
    // slots only for the addresses between the next row and the last one dispatched.
    struct Targets {
        std::size_t count = 0;
        std::function<SurveyTarget(std::size_t)> at;
    };
    // Everything one run knows; a start replaces it whole.
    struct Run {
        quint64 serial = 0; // tells a late report of an earlier run from this run's
        OwnIdentity me;
        bool resurvey = false;
        qint64 firstNumber = 1; // the caption's number for the first row
        int captionEnd = 0;     // and its end value
        int inFlight = 1;       // addresses probed at once, after the process's limits
        Targets targets;
        std::deque<AddressSlot> window; // the slots of `next` up to `dispatched`, in order
        std::size_t next = 0;           // the next address to append
        std::size_t dispatched = 0;     // addresses before this one have had their probes started
        int outstanding = 0;            // probes started whose rows are not yet being appended
        int pendingSelect = -1;         // row to select once the event loop has had its turn
        Phase phase = Phase::Boundary;
        bool cancelled = false;
        bool tableUnreadSaid = false; // the message comes once a run, not once an address
    };

    void begin(Targets targets, const OwnIdentity& me, bool resurvey, qint64 firstNumber,
               int captionEnd);
    AddressSlot& slot(std::size_t index) { return m_run->window[index - m_run->next]; }
    void moveTo(Phase phase);
    void schedulePump();
    void pump();
    void dispatch();
    void probed(quint64 serial, std::size_t index, const AddressFindings& found);
    bool appendHead();
    bool reportErrors(const AddressFindings& found);
    void appendRow(const AddressEntry& row, Presence presence = Presence::Unseen);
    void drain();
    void stopFrom(std::size_t first);
    void finishWhenIdle();

    // Probe tasks started and not yet reported, counted off on whatever thread reports.
    // A report is queued to the engine and counted off under one lock: the engine, once it
    // handles a report, sees it counted off, and the destructor, once none is left, knows
    // that no task still holds the engine.
    class ProbeTasks {
    public:
        void started();
        template <typename Queue> void reported(Queue&& queue)
        {
            const std::lock_guard hold(m_lock);
            queue();
            if (--m_out == 0)
                m_none.notify_all();
        }
        bool none();
        void waitForNone();

    private:
        std::mutex m_lock;
        std::condition_variable m_none;
        int m_out = 0;
    };

    std::shared_ptr<NetworkProbes> m_probes;
    SurveyLists& m_lists;
    std::shared_ptr<ProbeTasks> m_tasks = std::make_shared<ProbeTasks>();
    int m_maxInFlight = kDefaultMaxInFlight;
    std::optional<Run> m_run; // the run in progress or the last one
    quint64 m_runs = 0;       // runs begun, for their serials
    bool m_pumpQueued = false;
};
