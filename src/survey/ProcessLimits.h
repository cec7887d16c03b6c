#pragma once

#include <QtGlobal>

// The limits of this process that decide how many addresses can be probed at once.
// -1 stands for no limit.
struct ProcessLimits {
    qint64 openFiles = -1; // descriptors this process may hold (the soft limit)
    qint64 filesInUse = 0; // descriptors it holds now
    qint64 tasks = -1;     // threads and processes its user may have
    qint64 tasksInUse = 0; // threads of this process now (the user's others are unknown)
};

// What the system allows this process now.
ProcessLimits currentProcessLimits();

// Raises the soft limit of open files to the hard one, once at start-up: the
// common soft limit of 1024 would hold a whole range's probes to a fraction. The
// probes never use select(), which is what that soft limit protects.
void raiseOpenFileLimit();
