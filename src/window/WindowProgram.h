#pragma once

// The program as a window: the display opened, the history log claimed, the main
// window shown until it closes. Gives the program's exit status.
int runWindowProgram(int argc, char* argv[]);
