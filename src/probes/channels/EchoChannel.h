#pragma once

#include "probes/channels/Requests.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>

class SharedEchoRequest;

// Echo requests over one ICMP socket that every request of every thread shares: a
// whole range in flight costs one descriptor, not one each.
//
// Two kinds of socket: an unprivileged echo socket (Linux: SOCK_DGRAM with
// IPPROTO_ICMP, allowed to the groups in net.ipv4.ping_group_range; the kernel gives
// it an identifier of its own and hands it only the replies carrying it), and, for a
// process that may open one (root, CAP_NET_RAW) where those are refused, a raw
// socket, which the kernel hands every echo reply the host receives. Either way a
// reply counts only when it carries the sequence of a request still waiting and
// comes from the address that request asked; each request's sequence is drawn at
// random, since every host asked sees the identifier.
//
// No thread of its own: the one waiter for many requests (AddressSweep's) polls
// descriptor() and calls collect(), which hands each reply to its request.
class EchoChannel final : public std::enable_shared_from_this<EchoChannel> {
public:
    enum class Kind { Datagram, Raw };

    // The channel of that kind while anyone holds it, opened on first use and closed
    // with the last holder; nullptr when the system refuses such a socket.
    static std::shared_ptr<EchoChannel> shared(Kind kind);
    // Whether shared() would give a channel now (opens and closes a socket unless
    // one is open).
    static bool allowed(Kind kind);

    ~EchoChannel();

    // Sends one echo request to `address`, answered within `wait`. nullptr only when
    // every sequence number is in flight. A request the system would not send (no
    // route) is an unanswered one.
    std::unique_ptr<SharedEchoRequest> send(quint32 address, std::chrono::milliseconds wait);
    // Carried by every request of a raw channel, and by every reply it accepts (the
    // kernel sets a datagram socket's own).
    quint16 identifier() const { return m_identifier; }

    // Readable when replies may be waiting to be collected.
    int descriptor() const { return m_socket; }
    // Hands every reply the socket holds to its request, without waiting.
    void collect();

private:
    friend class SharedEchoRequest;
    struct Waiter {
        quint32 address = 0;
        bool answered = false;
    };

    EchoChannel(Kind kind, int socket, quint16 identifier);
    bool answered(quint16 sequence);
    void forget(quint16 sequence);

    const Kind m_kind;
    const int m_socket;
    const quint16 m_identifier;
    std::mutex m_mutex;
    std::map<quint16, Waiter> m_waiting;
};

class SharedEchoRequest final : public EchoRequest {
public:
    ~SharedEchoRequest() override;
    bool answered() override;
    int descriptor() const override { return m_channel->descriptor(); }
    void collect() override { m_channel->collect(); }
    // Carried by the request and by the only reply that answers it.
    quint16 sequence() const { return m_sequence; }

private:
    friend class EchoChannel;
    SharedEchoRequest(std::shared_ptr<EchoChannel> channel, quint16 sequence, bool sent);

    std::shared_ptr<EchoChannel> m_channel;
    quint16 m_sequence = 0;
    bool m_sent = false;
};
