#include "probes/sweep/LookupPool.h"

#include <algorithm>
#include <system_error>
#include <thread>

LookupPool::LookupPool(int most)
    : m_most(std::max(1, most))
{}

LookupPool::~LookupPool()
{
    std::unique_lock hold(m_lock);
    m_closing = true;
    m_queue.clear();
    m_changed.notify_all();
    m_changed.wait(hold, [this] { return m_threads == 0 && !m_watching; });
}

void LookupPool::run(std::function<void()> call)
{
    const std::lock_guard hold(m_lock);
    m_queue.push_back({std::move(call), std::chrono::steady_clock::now()});
    if (m_idle > 0)
        m_changed.notify_all();
    else if (m_threads < std::min(kQuickThreads, m_most))
        startLocked(&LookupPool::work);
    else if (!m_watching && m_threads < m_most)
        startLocked(&LookupPool::watch);
}

void LookupPool::startLocked(void (LookupPool::*role)())
{
    // A system out of threads leaves the calls to the threads there are.
    try {
        std::thread(role, this).detach();
    } catch (const std::system_error&) {
        return;
    }
    if (role == &LookupPool::watch)
        m_watching = true;
    else
        ++m_threads;
}

void LookupPool::work()
{
    std::unique_lock hold(m_lock);
    for (;;) {
        ++m_idle;
        const bool called =
            m_changed.wait_for(hold, kIdleTime, [this] { return m_closing || !m_queue.empty(); });
        --m_idle;
        if (!called || m_closing)
            break;
        std::function<void()> call = std::move(m_queue.front().call);
        m_queue.pop_front();
        hold.unlock();
        call();
        call = nullptr;
        hold.lock();
    }
    --m_threads;
    // Under the lock: the destructor cannot go on before this thread is done with it.
    m_changed.notify_all();
}

void LookupPool::watch()
{
    std::unique_lock hold(m_lock);
    while (!m_closing && !m_queue.empty() && m_threads < m_most) {
        m_changed.wait_for(hold, kSlowCall);
        if (m_closing || m_queue.empty())
            break;
        if (std::chrono::steady_clock::now() - m_queue.front().since < kSlowCall)
            continue;
        const int more =
            std::min({int(m_queue.size()), std::max(1, m_threads), m_most - m_threads});
        for (int k = 0; k < more; ++k)
            startLocked(&LookupPool::work);
    }
    m_watching = false;
    m_changed.notify_all();
}
