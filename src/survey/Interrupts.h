#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT) and SIGTERM into a Qt signal, delivered by the event loop,
// for as long as it lives. After the first one the default action is back, so a
// second Ctrl+C ends a program that is slow to stop.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

signals:
    // `exitStatus` is what a shell reports for the signal: 130 for SIGINT, 143 for SIGTERM.
    void interrupted(int exitStatus);

private:
    QSocketNotifier* m_notifier = nullptr;
};

// Standard error is a terminal, where a progress line redrawn in place belongs.
bool standardErrorIsTerminal();
