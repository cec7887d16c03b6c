#pragma once

#include "probes/channels/StopToken.h"
#include "probes/channels/Wakeup.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

// One UDP socket that a whole survey shares for one protocol's questions to the LAN:
// every address's question goes out from it, and one thread hands each answer to the
// question it belongs to. A range costs one descriptor and one thread, not one per
// address, and a LAN that floods the socket costs each question nothing: a datagram
// is read only against the questions asked of its source whose id it carries (its
// first two bytes, as in DNS and NetBIOS messages), and outside the lock that the
// waiters take. Each question has an id of its own, drawn at random and never one in flight:
// a host sees the ids of the questions asked of itself, and ids counted up from those
// would tell it the ids of every other address's question.
class DatagramChannel : public std::enable_shared_from_this<DatagramChannel> {
public:
    struct Datagram {
        QByteArrayView bytes;
        quint32 from = 0; // host byte order
        quint16 port = 0;
    };
    // The question's packet, carrying id `id`.
    using Packet = std::function<QByteArray(quint16 id)>;
    // What a question with id `id` makes of a datagram: its answer, or nothing (not
    // ours, malformed).
    using Reader = std::function<std::optional<QString>(const Datagram&, quint16 id)>;

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
        struct State;
        std::shared_ptr<DatagramChannel> m_channel;
        std::shared_ptr<State> m_state;
    };

    // The channel of `name` ("netbios", "mdns"), opened while anyone holds it; nullptr
    // when the system gives no socket. `broadcast` lets it send to a broadcast address.
    static std::shared_ptr<DatagramChannel> shared(const char* name, bool broadcast);
    ~DatagramChannel();

    // Sends `packet` with a fresh id to address:port and waits for answers from `from`
    // (any source when unset) and that port. nullptr when it could not be sent.
    std::unique_ptr<Question> ask(quint32 address, quint16 port, const Packet& packet,
                                  std::optional<quint32> from, Reader read);

private:
    using Entries = std::multimap<quint32, std::shared_ptr<Question::State>>;
    explicit DatagramChannel(int fd);
    void receive();
    void deliver(const Datagram& datagram);
    void forget(Question& question);
    bool send(quint32 address, quint16 port, QByteArrayView packet);

    static constexpr quint32 kAnySource = 0xFFFFFFFF;

    int m_fd = -1;
    Wakeup m_wakeup; // the receiver sleeps on it, and a closing channel wakes it
    std::atomic_bool m_closing{false};
    std::mutex m_lock;
    std::condition_variable_any m_answered;
    Entries m_questions;     // by the source their answer comes from
    std::set<quint16> m_ids; // of the questions in flight
    std::thread m_receiver;
};
