#include "probes/channels/Wakeup.h"

#include <condition_variable>
#include <mutex>

// The Windows build has no descriptor to watch (its probes give none): a condition
// and the time do.
struct Wakeup::State {
    std::mutex lock;
    std::condition_variable changed;
    bool woken = false;
};

Wakeup::Wakeup()
    : m_state(std::make_unique<State>())
{}

Wakeup::~Wakeup() = default;

void Wakeup::wake()
{
    {
        const std::lock_guard hold(m_state->lock);
        m_state->woken = true;
    }
    m_state->changed.notify_one();
}

void Wakeup::wait(std::span<const int>, std::chrono::steady_clock::time_point until)
{
    std::unique_lock hold(m_state->lock);
    m_state->changed.wait_until(hold, until, [this] { return m_state->woken; });
    m_state->woken = false;
}
