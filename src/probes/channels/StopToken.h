#pragma once

#include <stop_token>

// Shared between whoever starts probes and the probes themselves: a probe that sees
// the request kills its child process and gives its no-result answer. Copies share
// one request. A probe that sleeps in the kernel registers a std::stop_callback on
// token() to be woken at once rather than looking at the flag now and then.
class StopToken {
public:
    void requestStop() const { m_source.request_stop(); }
    bool stopRequested() const { return m_source.stop_requested(); }
    std::stop_token token() const { return m_source.get_token(); }

private:
    mutable std::stop_source m_source;
};
