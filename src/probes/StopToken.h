#pragma once

#include <atomic>
#include <memory>

// Shared between whoever starts probes and the probes themselves: a probe that sees
// the request kills its child process and gives its no-result answer.
class StopToken {
public:
    StopToken()
        : m_flag(std::make_shared<std::atomic_bool>(false))
    {}
    void requestStop() const { m_flag->store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_flag->load(std::memory_order_relaxed); }

private:
    std::shared_ptr<std::atomic_bool> m_flag;
};
