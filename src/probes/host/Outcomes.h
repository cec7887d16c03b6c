#pragma once

// probes/host/: one address or the PC itself, as plain functions: name, ping, MAC, own
// identity, tools present.

#include <QList>
#include <QString>

// What the PC knows of itself, learnt once at start-up.
struct OwnIdentity {
    QString pcName; // strPcName
    QString myIp;   // strMyIp, empty when the name does not resolve
    QString myMac;  // strMyMac
};

// An IPv4 network this PC is attached to: the network address (host bits clear, host
// byte order) and its real prefix length.
struct AttachedNetwork {
    quint32 network = 0;
    int prefixLength = 0;

    static constexpr quint32 mask(int prefixLength)
    {
        return prefixLength <= 0 ? 0 : ~quint32(0) << (32 - prefixLength);
    }
    // The network of `address` with that prefix length.
    static constexpr AttachedNetwork of(quint32 address, int prefixLength)
    {
        return {address & mask(prefixLength), prefixLength};
    }
    constexpr bool holds(quint32 address) const
    {
        return (address & mask(prefixLength)) == network;
    }
    friend bool operator==(const AttachedNetwork&, const AttachedNetwork&) = default;
};

// subPing's answer. `error` is the failure that the window reports with the box
// "何かエラーになりました。" titled "エラー subPing"; `answered` is then false.
struct PingOutcome {
    bool answered = false;
    bool error = false;
    // No echo reply came, but an ARP reply confirmed the address during the wait: a
    // host whose firewall drops echo requests. Its MAC is as good as a replying host's.
    bool present = false;
    // No echo reply came and the neighbour table could not be read: whether the host
    // is there is not known.
    bool neighboursUnread = false;
};

// subMacGet's answer. `error` is reported with the box titled "エラー subMacGet";
// `mac` is then empty.
struct MacOutcome {
    QString mac;
    bool error = false;
};
