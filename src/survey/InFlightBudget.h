#pragma once

#include "probes/NetworkProbes.h"
#include "survey/ProcessLimits.h"

// Kept free for the rest of the program while a survey runs: the window's files,
// its display connection, a save of the list, Qt's own threads.
inline constexpr qint64 kReservedDescriptors = 64;
inline constexpr qint64 kReservedTasks = 32;

// How many addresses may be probed at once: `wanted`, lowered so that that many
// addresses at `cost` each fit in what the process has left after the reserve. Never
// below one, so a survey always runs, if only one address at a time.
int affordableInFlight(int wanted, const ProbeCost& cost, const ProcessLimits& limits);
