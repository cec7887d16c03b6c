#pragma once

#include "cli/SurveyCommand.h"
#include "store/VendorRegistry.h"

#include <QString>

#include <cstdio>
#include <functional>
#include <memory>

class NetworkProbes;

struct CommandLineServices {
    std::shared_ptr<NetworkProbes> probes;
    // Where --log writes; asked for only when it is given (finding it runs a write test).
    QString (*historyLogPath)() = nullptr;
    // The vendor names of --vendor, loaded only when it is given; without a loader
    // only the local mark is known.
    std::function<VendorRegistry()> vendors;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool progress = false; // a progress line on `err`, redrawn in place
};

// Runs the survey of a parsed command (no usage error) in the application's event
// loop with the engine the window uses, writes what it asks for (a re-survey back into
// its file, in the form the file was read in, unless --csv names another) and gives
// the exit status: 0 when the survey ran, 1 when the probes or the converter are missing or
// an output could not be written (the file is then left as it was), 2 when no range
// was given and the PC's own address is unknown, 128 + the signal when SIGINT or
// SIGTERM cancelled it (the rows so far are written all the same). With --changes the
// changes since the reference list go to `out` instead of the rows, and a run that found
// one gives 3 unless another status applies; a reference that cannot be read gives 1, the
// run's files still written, and one that an output would replace gives 2 before any probe.
int runSurveyCommand(const SurveyCommand& command, const CommandLineServices& services);
