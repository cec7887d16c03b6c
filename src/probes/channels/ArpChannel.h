#pragma once

#include "probes/channels/Requests.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <memory>
#include <mutex>

class SharedArpRequest;

// ARP requests of the program's own, broadcast over one packet socket per interface
// that every request shares (Linux: AF_PACKET, SOCK_DGRAM, ETH_P_ARP, bound to the
// interface; root or CAP_NET_RAW). An address of an attached network that the kernel
// were asked to reach would take an entry in its neighbour table, one table for the
// whole machine, held unresolved for seconds when nobody answers; asked here first, a
// dead address takes none, and only a host that answers is handed to the kernel.
//
// A reply counts only from the interface asked on, for an address asked that is still
// waiting, addressed to the address that asked. Anyone on the LAN can send one: it only
// says the address is worth probing, never that a host is there.
//
// No thread of its own: the one waiter for many requests (AddressSweep's) polls
// descriptor() and calls collect(), which hands each reply to its requests.
class ArpChannel final : public std::enable_shared_from_this<ArpChannel> {
public:
    // One IPv4 address of the PC on the channel's interface.
    struct Own {
        quint32 address = 0;
        int prefixLength = 0;
    };

    // The channel of the Ethernet interface whose network holds `address` (the most
    // specific, where several do), while anyone holds it, opened on first use and closed
    // with the last holder. nullptr for one of the PC's own addresses, for an address of
    // no such network, and where the system refuses the socket.
    static std::shared_ptr<ArpChannel> forAddress(quint32 address);

    ~ArpChannel();

    // Broadcasts who-has `address` at once; the request is unanswered until a reply is
    // collected. A request the system would not send now counts as one the LAN lost.
    std::unique_ptr<SharedArpRequest> ask(quint32 address);

    // Readable when replies may be waiting to be collected.
    int descriptor() const { return m_socket; }
    // Hands the replies the socket holds to their requests, at most a bounded number
    // per call, without waiting.
    void collect();

private:
    friend class SharedArpRequest;

    ArpChannel(int socket, int interfaceIndex, QByteArray mac, QList<Own> own);
    bool send(quint32 address);
    // The PC's address that asks for `address` and that its reply must name.
    quint32 asker(quint32 address) const;

    const int m_socket;
    const int m_interfaceIndex;
    const QByteArray m_mac;
    const QList<Own> m_own;
    std::mutex m_mutex;
    // The requests waiting, by the address they asked.
    std::multimap<quint32, SharedArpRequest*> m_waiting;
};

class SharedArpRequest final : public ArpRequest {
public:
    ~SharedArpRequest() override;
    bool answered() override;
    int descriptor() const override { return m_channel->descriptor(); }
    void collect() override { m_channel->collect(); }
    void askAgain() override;

private:
    friend class ArpChannel;
    SharedArpRequest(std::shared_ptr<ArpChannel> channel, quint32 address);

    std::shared_ptr<ArpChannel> m_channel;
    quint32 m_address = 0;
    std::multimap<quint32, SharedArpRequest*>::iterator m_entry;
    bool m_answered = false; // under the channel's mutex
};
