#include "window/RunningWindow.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr char kRequest[] = "forward\n";
constexpr char kAnswer[] = "ok\n";

} // namespace

RunningWindow::RunningWindow(const QString& serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(serverName)
{}

bool RunningWindow::listen()
{
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    // Another user's start must not command this user's window.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() != kRequest) {
                    socket->disconnectFromServer();
                    return;
                }
                if (m_ready)
                    answer(socket);
                else
                    m_waiting.append(socket);
            });
        }
    });
    return true;
}

void RunningWindow::setReady()
{
    m_ready = true;
    for (const QPointer<QLocalSocket>& socket : std::exchange(m_waiting, {})) {
        if (socket)
            answer(socket);
    }
}

void RunningWindow::answer(QLocalSocket* socket)
{
    emit comeForward();
    socket->write(kAnswer);
    socket->flush();
    socket->disconnectFromServer();
}

bool RunningWindow::askToComeForward(const QString& serverName, bool* cameForward)
{
    if (cameForward)
        *cameForward = false;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(2000))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(2000))
        return false;
    // A window still starting up answers once it is shown; it comes forward then
    // whether this start waits for it or not.
    while (!socket.canReadLine() && socket.waitForReadyRead(10000)) {
    }
    if (cameForward)
        *cameForward = socket.canReadLine() && socket.readLine() == kAnswer;
    return true;
}
