#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>

class QLocalServer;
class QLocalSocket;

// The window that shows a history log answers a later start for the same log: that
// start asks it to come to the front and ends, so a second click on the menu entry
// never opens a second list of the same log. The requests travel over a local socket
// named for the log (LogLock::serverName), in the user's runtime folder; a later start
// talks only to a window of its own user, and never waits on one for long.
class RunningWindow : public QObject {
    Q_OBJECT
public:
    explicit RunningWindow(const QString& serverName, QObject* parent = nullptr);

    // Starts answering; only the holder of the log's lock may, so a socket left by a
    // window that was killed is removed first. False when the system refuses, or there
    // is no runtime folder: a later start then cannot bring this window forward.
    bool listen();
    QString errorString() const;

    // The window is up: requests are answered from now on, those that waited included.
    void setReady();

    // A later start: asks the window listening under `serverName` to come to the front
    // and waits, `within` in all, for it to say it has (`cameForward`). False when no
    // window of this user listens.
    static bool askToComeForward(const QString& serverName, bool* cameForward = nullptr,
                                 std::chrono::milliseconds within = std::chrono::seconds(10));

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
