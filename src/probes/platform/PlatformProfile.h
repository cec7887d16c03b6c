#pragma once

// probes/platform/: what differs by operating system: command lines, output parsers,
// resolver and route calls.

#include "probes/channels/Requests.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

class StopToken;

// The wait for the echo reply, in seconds, where the platform's ping takes one
// (Linux). A dead address costs about this much.
inline constexpr int kPingWaitSeconds = 1;

// A program and its arguments, started directly: no command interpreter ever sees
// an address text, so no address text can become a second command.
struct CommandLine {
    QString program;
    QStringList arguments;
};

// Where the ARP table is listed from: the output of a command, or a file the
// system keeps (when `file` is set, no command runs).
struct ArpSource {
    CommandLine command;
    QString file;
};

// What an ARP listing says about one address. `malformed` is a row that names the
// address but holds no readable physical address: the probe reports it as an error.
struct ArpMatch {
    QString mac;
    bool malformed = false;
};

// Everything that differs between the platforms the probes run on: which tools
// they need, the command lines, how the output is decoded and read, and the few
// system calls behind name resolution and the PC's identity. The parsers are pure
// (output text in, answer out) so that recorded outputs of every platform can be
// tested anywhere.
class PlatformProfile {
public:
    virtual ~PlatformProfile() = default;

    // The profile of the platform the program was built for, made on first use.
    static const PlatformProfile& system();

    // What PingDllChk requires, each given to findTool().
    virtual QStringList requiredTools() const = 0;
    // The full path of a tool or library, empty when it cannot be found.
    virtual QString findTool(const QString& name) const = 0;
    // The computer's name as the system gives it, empty on failure.
    virtual QString computerName() const = 0;

    virtual CommandLine pingCommand(const QString& ip) const = 0;
    // How sendEcho sends: over an unprivileged echo socket, over a raw socket (root),
    // either shared by all requests (no child process, one descriptor in all), or not
    // at all, and the console ping is run instead.
    enum class EchoWay { ConsolePing, EchoSocket, RawSocket };
    // Sends one echo request to `address` itself, where the platform lets the
    // program; nullptr where it does not, and the console ping is run instead.
    virtual std::unique_ptr<EchoRequest> sendEcho(quint32 address) const;
    // The way sendEcho would currently send.
    virtual EchoWay echoWay() const { return EchoWay::ConsolePing; }
    bool canSendEcho() const { return echoWay() != EchoWay::ConsolePing; }
    virtual ArpSource arpSource() const = 0;
    virtual CommandLine adapterListCommand() const = 0;
    virtual QString decodeOutput(QByteArrayView bytes) const = 0;

    // The ping output holds a reply from `ip`.
    virtual bool pingAnswered(const QString& output, const QString& ip) const = 0;
    virtual ArpMatch arpMac(const QString& output, const QString& ip) const = 0;
    // The first adapter address of the adapter listing, empty when none.
    virtual QString adapterListMac(const QString& output) const = 0;

    // The resolver. parseAddress follows inet_addr: what it accepts, and no
    // answer for 255.255.255.255, which inet_addr cannot tell from a failure.
    // Addresses are in host byte order.
    virtual std::optional<quint32> parseAddress(const QString& text) const = 0;
    // The address's official name, empty when the resolver holds none.
    virtual QString reverseName(quint32 address) const = 0;
    // The first IPv4 address the resolver lists for the name, dotted; empty when none.
    virtual QString forwardAddress(const QString& name) const = 0;

    // The interface that carries the default route, empty when unknown.
    virtual QString defaultRouteInterface() const = 0;

    // The neighbour table's entry for `address`, read no earlier than `notBefore`
    // (several probes that finish together may share one reading). Kind::None where
    // the platform has no such table to read.
    virtual NeighbourState neighbour(quint32 address,
                                     std::chrono::steady_clock::time_point notBefore) const;
    // Asks the system to confirm a known entry with an ARP request now, so that an
    // entry confirmed before a probe began gets its chance to be confirmed during it.
    // False where that is not allowed (it needs the right to change the table) and for
    // an entry the kernel did not learn by itself, which is left as it is.
    virtual bool reconfirmNeighbour(quint32 address, const NeighbourState& entry) const;

    // Asks the host at `address` for its name on the LAN, where the platform's own
    // resolver does not (Windows' does: it asks NetBIOS itself). nullptr when nothing
    // could be asked.
    virtual std::unique_ptr<LanNameRequest> askLanName(quint32 address) const;
    // The address a LAN host of that name gives: multicast DNS for a name ending in
    // ".local", else a NetBIOS name query broadcast on the /24 of `ownAddress`.
    virtual std::optional<quint32> lanAddress(const QString& name, quint32 ownAddress,
                                              std::chrono::steady_clock::time_point deadline,
                                              const StopToken& stop) const;
};
