#pragma once

#include "cli/SurveyCommand.h"

// The program on the terminal, without any window or display: a usage error, --help,
// --version or a survey. Gives the program's exit status.
int runCommandLineProgram(int argc, char* argv[], const SurveyCommand& command);
