#pragma once

#include "probes/StopToken.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// One UDP socket that a whole survey shares for one protocol's questions to the LAN:
// every address's question goes out from it, and one thread hands each answer to the
// question it belongs to. A range costs one descriptor and one thread, not one per
// address, and a LAN that floods the socket costs each question nothing: a datagram
// is read only against the questions asked of its source.
class DatagramChannel : public std::enable_shared_from_this<DatagramChannel> {
public:
    struct Datagram {
        QByteArrayView bytes;
        quint32 from = 0; // host byte order
        quint16 port = 0;
    };
    // What a question makes of a datagram: its answer, or nothing (not ours, malformed).
    using Reader = std::function<std::optional<QString>(const Datagram&)>;

    class Question {
    public:
        ~Question();
        // The answer, once one came before `deadline`; nothing after the deadline or a stop.
        std::optional<QString> wait(std::chrono::steady_clock::time_point deadline,
                                    const StopToken& stop);
        // The answer if one has come, without waiting.
        std::optional<QString> answer() const;
        // Sends the question once more, for an answer the LAN may have dropped; not to a
        // source that floods the socket with what its question refuses.
        void resend();

    private:
        friend class DatagramChannel;
        std::shared_ptr<DatagramChannel> m_channel;
        std::multimap<quint32, Question*>::iterator m_entry;
        quint32 m_address = 0;
        quint16 m_port = 0;
        QByteArray m_packet;
        Reader m_read;
        std::optional<QString> m_answer;
        // Datagrams from the question's source that it refused; past a bound it reads
        // no more of them.
        int m_refused = 0;
    };

    // The channel of `name` ("netbios", "mdns"), opened while anyone holds it; nullptr
    // when the system gives no socket. `broadcast` lets it send to a broadcast address.
    static std::shared_ptr<DatagramChannel> shared(const char* name, bool broadcast);
    ~DatagramChannel();

    // Sends `packet` to address:port and waits for answers from `from` (any source when
    // unset) and that port. nullptr when it could not be sent.
    std::unique_ptr<Question> ask(quint32 address, quint16 port, QByteArrayView packet,
                                  std::optional<quint32> from, Reader read);

    // A fresh transaction id: questions in flight side by side never share one.
    quint16 nextId();

private:
    DatagramChannel(int fd, const int wake[2]);
    void receive();
    void deliver(const Datagram& datagram);
    void forget(Question& question);
    bool send(quint32 address, quint16 port, QByteArrayView packet);

    static constexpr quint32 kAnySource = 0xFFFFFFFF;

    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::mutex m_lock;
    std::condition_variable_any m_answered;
    std::multimap<quint32, Question*> m_questions; // by the source their answer comes from
    quint16 m_id = 0;
    std::thread m_receiver;
};
