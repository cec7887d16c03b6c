#pragma once

#include "probes/PlatformProfile.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

class RawEchoRequest;

// Echo requests over one raw ICMP socket, for a process that may open one (root,
// CAP_NET_RAW) where unprivileged echo sockets are refused. One socket serves every
// request of every thread: a whole range in flight costs one descriptor, not one
// each. The kernel hands a raw socket every echo reply the host receives, so a reply
// counts only when it carries this channel's identifier and the sequence of a
// request still waiting, and comes from the address that request asked.
//
// No thread of its own: whichever waiter finds no one reading the socket reads it
// and hands the replies it finds to their waiters, and passes the reading on when
// its own wait ends.
class RawEchoChannel final : public std::enable_shared_from_this<RawEchoChannel> {
public:
    // The channel while anyone holds it, opened on first use and closed with the last
    // holder; nullptr when the system refuses a raw socket.
    static std::shared_ptr<RawEchoChannel> shared();
    // Whether shared() would give a channel now (opens and closes a socket unless
    // one is open).
    static bool allowed();

    ~RawEchoChannel();

    // Sends one echo request to `address`, answered within `wait`. nullptr only when
    // every sequence number is in flight. A request the system would not send (no
    // route) is an unanswered one.
    std::unique_ptr<RawEchoRequest> send(quint32 address, std::chrono::milliseconds wait);
    // Carried by every request of this channel, and by every reply it accepts.
    quint16 identifier() const { return m_identifier; }

private:
    friend class RawEchoRequest;
    struct Waiter {
        quint32 address = 0;
        bool answered = false;
    };

    RawEchoChannel(int socket, int wake, quint16 identifier);
    bool waitFor(quint16 sequence, std::chrono::steady_clock::time_point deadline,
                 const StopToken& stop);
    // Reads the socket until `sequence` is answered, the deadline or the stop.
    void read(quint16 sequence, std::chrono::steady_clock::time_point deadline,
              const StopToken& stop);
    // Hands every reply queued on the socket to its waiter; true once `sequence`'s came.
    bool drain(quint16 sequence);
    void forget(quint16 sequence);

    const int m_socket;
    const int m_wake; // an eventfd: a stop wakes the reader out of poll()
    const quint16 m_identifier;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::map<quint16, Waiter> m_waiting;
    quint16 m_lastSequence = 0;
    bool m_reading = false;
};

class RawEchoRequest final : public EchoRequest {
public:
    ~RawEchoRequest() override;
    bool waitForReply(const StopToken& stop) override;
    // Carried by the request and by the only reply that answers it.
    quint16 sequence() const { return m_sequence; }

private:
    friend class RawEchoChannel;
    RawEchoRequest(std::shared_ptr<RawEchoChannel> channel, quint16 sequence, bool sent,
                   std::chrono::steady_clock::time_point deadline);

    std::shared_ptr<RawEchoChannel> m_channel;
    quint16 m_sequence = 0;
    bool m_sent = false;
    std::chrono::steady_clock::time_point m_deadline;
};
