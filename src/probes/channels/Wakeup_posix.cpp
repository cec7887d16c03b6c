#include "probes/channels/Wakeup.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

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

void Wakeup::wait(std::span<const int> descriptors, std::chrono::steady_clock::time_point until)
{
    // Rounded up, so that a wait just short of the time does not spin. The farthest
    // time waits for the descriptors or a wake alone.
    int timeout = -1;
    if (until != std::chrono::steady_clock::time_point::max()) {
        const auto left = until - std::chrono::steady_clock::now();
        timeout = left <= left.zero()
                      ? 0
                      : int(std::min<std::int64_t>(
                            std::chrono::ceil<std::chrono::milliseconds>(left).count(),
                            std::numeric_limits<int>::max()));
    }
    // The wake first; poll() skips a negative descriptor.
    std::vector<pollfd> wanted{{m_state->event, POLLIN, 0}};
    for (const int descriptor : descriptors)
        wanted.push_back({descriptor, POLLIN, 0});
    // Without an eventfd (no descriptor left) the wait is by time alone, and a wake
    // comes late rather than never.
    if (m_state->event < 0)
        timeout = timeout < 0 ? 10 : std::min(timeout, 10);
    if (::poll(wanted.data(), nfds_t(wanted.size()), timeout) < 0)
        return;
    if (wanted[0].revents & POLLIN) {
        std::uint64_t wakes = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_state->event, &wakes, sizeof wakes);
    }
}
