#pragma once

class LogKeeper;
class MessageBoxes;

// The log's lock for a window about to open, or false when another window holds the
// log: that one has been asked to come to the front, or the user told that it runs
// and on which computer.
bool claimTheLog(LogKeeper& log, MessageBoxes& boxes);
