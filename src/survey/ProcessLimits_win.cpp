#include "survey/ProcessLimits.h"

// Windows sets no per-process limit on handles or threads that a survey could reach.
ProcessLimits currentProcessLimits()
{
    return {};
}

void raiseOpenFileLimit() {}
