#pragma once

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcessEnvironment>
#include <QUdpSocket>

// The name server of the network lab's scanner namespace, whose resolv.conf points at
// 127.0.0.1 where nothing listens but this. It holds every question until release(),
// then answers each, held or new, that the name does not exist. A survey cannot get
// past an address whose name it is still asking for, so a held question is both the
// sign that the survey is under way and what keeps it from ending before the test has
// done what it came for.
class HeldNameServer {
public:
    bool listen() { return m_socket.bind(QHostAddress::LocalHost, 53); }

    // A question has come; it stays unanswered until release().
    bool asked() { return m_released || m_socket.hasPendingDatagrams(); }

    // Answers what it holds and, while events are handled, every later question.
    void release()
    {
        if (!m_released)
            QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { answerAll(); });
        m_released = true;
        answerAll();
    }

    // For the program: a held question waits the resolver's longest time (30 s), not
    // the lab's one second in which a test on a busy machine may not get its turn.
    static QProcessEnvironment patientResolver()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("RES_OPTIONS"), QStringLiteral("timeout:30 attempts:1"));
        return environment;
    }

private:
    void answerAll()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram question = m_socket.receiveDatagram();
            const QByteArray asked = question.data();
            // The header, then the question's labels up to their end and its type and class.
            qsizetype end = 12;
            while (end < asked.size() && asked.at(end) != 0)
                end += 1 + quint8(asked.at(end));
            end += 5;
            if (end > asked.size())
                continue;
            QByteArray answer = asked.left(end);
            answer[2] = char(0x80 | (asked.at(2) & 0x79)); // a response, to the same query
            answer[3] = char(0x83);                        // recursion available; no such name
            answer.replace(6, 6, QByteArray(6, '\0'));     // one question and nothing else
            m_socket.writeDatagram(answer, question.senderAddress(),
                                   quint16(question.senderPort()));
        }
    }

    QUdpSocket m_socket;
    bool m_released = false;
};
