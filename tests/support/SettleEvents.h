#pragma once

#include <QCoreApplication>
#include <QEventLoop>

// Handles every event already queued, and those that handling them queues in turn.
// What the engine and the window do next always passes through the event loop, so
// afterwards nothing more happens until a probe thread or a timer reports: the way to
// check that something did not happen without sleeping for a guessed time.
inline void settleEvents()
{
    for (int round = 0; round < 16; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}
