#pragma once

#include <chrono>
#include <memory>
#include <span>

// Sleeps one thread until one of its descriptors turns readable, another thread wakes it, or a
// time comes: what lets one thread wait for the replies of a whole range at once.
class Wakeup {
public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    // From any thread: the wait in progress, or else the next one, returns at once.
    void wake();
    // A descriptor may be -1, for none to watch.
    void wait(std::span<const int> descriptors, std::chrono::steady_clock::time_point until);
    void wait(int descriptor, std::chrono::steady_clock::time_point until)
    {
        wait(std::span<const int>(&descriptor, 1), until);
    }

private:
    struct State;
    std::unique_ptr<State> m_state;
};
