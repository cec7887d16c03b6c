#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class StopToken;

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

// One echo request that the program sent itself, without the console ping.
class EchoRequest {
public:
    virtual ~EchoRequest() = default;
    // True once an echo reply from the very address arrives within the ping wait,
    // counted from the sending; false when the wait passes, the request could not
    // be sent (no route, a broadcast address) or `stop` is requested first.
    virtual bool waitForReply(const StopToken& stop) = 0;
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
    // How sendEcho sends: over a socket of each request's own (no child process, one
    // descriptor each), over one socket shared by all requests (no child process, one
    // descriptor in all), or not at all, and the console ping is run instead.
    enum class EchoWay { ConsolePing, OwnSocket, SharedSocket };
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
};
