#pragma once

#include "probes/channels/Requests.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <vector>

// Waits for echo replies as the program's one waiter does: polls the shared socket and
// collects, until every request is answered or `deadline` passes. Which were answered.
template <typename Requests>
std::vector<char> awaitReplies(const Requests& requests,
                               std::chrono::steady_clock::time_point deadline)
{
    std::vector<char> answered(requests.size());
    for (;;) {
        int descriptor = -1;
        for (const auto& request : requests) {
            descriptor = request->descriptor();
            request->collect();
        }
        bool all = true;
        for (std::size_t k = 0; k < requests.size(); ++k)
            all = (answered[k] = requests[k]->answered()) && all;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (all || left <= left.zero())
            return answered;
        pollfd readable{descriptor, POLLIN, 0};
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        ::poll(&readable, 1, int(std::min<long long>(ms, 1000)));
    }
}
