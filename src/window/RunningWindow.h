#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The window that shows a history log answers a later start for the same log: that
// start asks it to come to the front and ends, so a second click on the menu entry
// never opens a second list of the same log. The requests travel over a local socket
// named for the log (LogLock::serverName).
class RunningWindow : public QObject {
    Q_OBJECT
public:
    explicit RunningWindow(const QString& serverName, QObject* parent = nullptr);

    // Starts answering; only the holder of the log's lock may, so a socket left by a
    // window that was killed is removed first. False when the system refuses.
    bool listen();

    // The window is up: requests are answered from now on, those that waited included.
    void setReady();

    // A later start: asks the window listening under `serverName` to come to the front
    // and waits a little for it to say it has (`cameForward`). False when no window
    // listens.
    static bool askToComeForward(const QString& serverName, bool* cameForward = nullptr);

signals:
    // A later start asked for the window; answered once the window is ready.
    void comeForward();

private:
    void answer(QLocalSocket* socket);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
    QList<QPointer<QLocalSocket>> m_waiting;
    bool m_ready = false;
};
