#include "survey/InFlightBudget.h"

#include <algorithm>
#include <limits>

namespace {

// How many of `each` fit in what is left of `limit`; no bound for an unlimited one.
qint64 fitting(qint64 limit, qint64 inUse, qint64 reserve, int each)
{
    if (limit < 0 || each <= 0)
        return std::numeric_limits<qint64>::max();
    return (limit - inUse - reserve) / each;
}

} // namespace

int affordableInFlight(int wanted, const ProbeCost& cost, const ProcessLimits& limits)
{
    qint64 bound = wanted;
    bound =
        std::min(bound, fitting(limits.openFiles, limits.filesInUse,
                                kReservedDescriptors + cost.sharedDescriptors, cost.descriptors));
    bound = std::min(bound, fitting(limits.tasks, limits.tasksInUse,
                                    kReservedTasks + cost.sharedTasks, cost.tasks));
    return int(std::max<qint64>(1, bound));
}
