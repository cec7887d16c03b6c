#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// Threads for the calls that can only block, the resolver's above all: a survey's
// name lookups run on a few of them, and more join while lookups are slow, so that a
// LAN whose DNS takes seconds to answer each one does not queue a whole range behind
// a handful of threads. Idle threads leave after a while.
class LookupPool {
public:
    explicit LookupPool(int most);
    // Waits for the calls still running; those not yet begun are dropped.
    ~LookupPool();
    LookupPool(const LookupPool&) = delete;
    LookupPool& operator=(const LookupPool&) = delete;

    void run(std::function<void()> call);

    // Threads started without waiting; beyond them, only calls that wait longer than
    // kSlowCall for a thread bring more.
    static constexpr int kQuickThreads = 8;
    static constexpr std::chrono::milliseconds kSlowCall{20};
    static constexpr std::chrono::seconds kIdleTime{5};

private:
    struct Queued {
        std::function<void()> call;
        std::chrono::steady_clock::time_point since;
    };
    void work();
    // While calls queue behind busy threads: every kSlowCall, as many more threads as
    // are busy, until the queue moves or the bound is reached.
    void watch();
    void startLocked(void (LookupPool::*role)());

    const int m_most;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Queued> m_queue;
    int m_threads = 0;
    int m_idle = 0;
    bool m_watching = false;
    bool m_closing = false;
};
