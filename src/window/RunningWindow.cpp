#include "window/RunningWindow.h"

#include "window/LocalPeer.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr char kRequest[] = "forward\n";
constexpr char kAnswer[] = "ok\n";
constexpr qint64 kLongestAnswer = 16;

} // namespace

RunningWindow::RunningWindow(const QString& serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(serverName)
{}

bool RunningWindow::listen()
{
    m_server = new QLocalServer(this);
    if (m_serverName.isEmpty())
        return false;
    QLocalServer::removeServer(m_serverName);
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

QString RunningWindow::errorString() const
{
    if (m_serverName.isEmpty())
        return QStringLiteral("no runtime folder (XDG_RUNTIME_DIR)");
    return m_server ? m_server->errorString() : QString();
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

bool RunningWindow::askToComeForward(const QString& serverName, bool* cameForward,
                                     std::chrono::milliseconds within)
{
    if (cameForward)
        *cameForward = false;
    if (serverName.isEmpty())
        return false;
    // One wait in all: whatever listens there gets no more of this start's time.
    const QDeadlineTimer deadline(within);
    const auto remaining = [&] {
        return int(deadline.remainingTime());
    };
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(remaining()) || !serverRunsAsThisUser(socket.socketDescriptor()))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(remaining()))
        return false;
    // A window still starting up answers once it is shown; it comes forward then
    // whether this start waits for it or not.
    while (!socket.canReadLine() && socket.bytesAvailable() < kLongestAnswer &&
           socket.waitForReadyRead(remaining())) {
    }
    if (cameForward)
        *cameForward = socket.canReadLine() && socket.readLine(kLongestAnswer) == kAnswer;
    return true;
}
