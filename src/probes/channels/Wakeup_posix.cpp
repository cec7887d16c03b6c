#include "probes/channels/Wakeup.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

struct Wakeup::State {
    int event = -1;
};

Wakeup::Wakeup()
    : m_state(std::make_unique<State>())
{
    m_state->event = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

Wakeup::~Wakeup()
{
    if (m_state->event >= 0)
        ::close(m_state->event);
}

void Wakeup::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_state->event, &one, sizeof one);
}

void Wakeup::wait(int descriptor, std::chrono::steady_clock::time_point until)
{
    // Rounded up, so that a wait just short of the time does not spin. The farthest
    // time waits for the descriptor or a wake alone.
    int timeout = -1;
    if (until != std::chrono::steady_clock::time_point::max()) {
        const auto left = until - std::chrono::steady_clock::now();
        timeout = left <= left.zero()
                      ? 0
                      : int(std::min<std::int64_t>(
                            std::chrono::ceil<std::chrono::milliseconds>(left).count(),
                            std::numeric_limits<int>::max()));
    }
    pollfd wanted[2] = {{m_state->event, POLLIN, 0}, {descriptor, POLLIN, 0}};
    // Without an eventfd (no descriptor left) the wait is by time alone, and a wake
    // comes late rather than never.
    const nfds_t watched = descriptor >= 0 ? 2 : 1;
    if (m_state->event < 0) {
        wanted[0].fd = -1;
        timeout = timeout < 0 ? 10 : std::min(timeout, 10);
    }
    if (::poll(wanted, watched, timeout) < 0)
        return;
    if (wanted[0].revents & POLLIN) {
        std::uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_state->event, &wakes, sizeof wakes);
    }
}
