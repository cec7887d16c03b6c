#pragma once

#include "probes/platform/PlatformProfile.h"

// Where the Linux profile finds what it runs and reads. Found by absolute path
// once, so that neither PATH nor the working directory decides later which
// program runs.
struct LinuxTools {
    QString ping;       // iputils ping
    QString ip;         // iproute2 ip, for the adapter listing
    QString routeTable; // the kernel's IPv4 routes
    // Send echo requests over the system's unprivileged ICMP sockets where it allows
    // them, and run `ping` only where it does not. Off for stand-in tools.
    bool echoSockets = false;
    // Where those are refused, send them over one raw socket shared by all probes,
    // where the process may open one (root, CAP_NET_RAW). Off for stand-in tools.
    bool rawEcho = false;
    // Read the kernel's neighbour table and ask the LAN's hosts for their names. Off for
    // stand-in tools, whose tests must not depend on the system's tables.
    bool lanQueries = false;

    // The tools as installed on this system (empty paths for missing ones).
    static LinuxTools installed();
};

// iputils ping and `ip -o link`; the ARP table is the neighbour table LinuxLan reads.
class LinuxConsole final : public ConsoleTools {
public:
    explicit LinuxConsole(LinuxTools tools);

    QStringList requiredTools() const override;
    QString findTool(const QString& name) const override;
    CommandLine pingCommand(const QString& ip) const override;
    ArpSource arpSource() const override;
    CommandLine adapterListCommand() const override;
    QString decodeOutput(QByteArrayView bytes) const override;
    bool pingAnswered(const QString& output, const QString& ip) const override;
    ArpMatch arpMac(const QString& output, const QString& ip) const override;
    QString adapterListMac(const QString& output) const override;

    // The parsers, pure.
    // iputils' reply line "64 bytes from 198.18.0.11: icmp_seq=1 ttl=64 time=..."
    static bool parsePing(const QString& output, const QString& ip);
    // `ip -o link`: the first non-zero "link/ether" address.
    static QString parseLinkList(const QString& output);

private:
    LinuxTools m_tools;
};

// The C library's resolver and /proc/net/route.
class LinuxNames final : public NameService {
public:
    explicit LinuxNames(QString routeTable);

    QString computerName() const override;
    std::optional<quint32> parseAddress(const QString& text) const override;
    QString reverseName(quint32 address) const override;
    QString forwardAddress(const QString& name) const override;
    QString defaultRouteInterface() const override;

    // /proc/net/route: the interface of the first usable default route.
    static QString parseDefaultRoute(const QString& routeTable);

private:
    QString m_routeTable;
};

// Echo over ICMP sockets, the neighbour table over rtnetlink, LAN names over NetBIOS and
// multicast DNS, each as far as the tools allow.
class LinuxLan final : public LanAccess {
public:
    explicit LinuxLan(const LinuxTools& tools);

    EchoWay echoWay() const override;
    std::unique_ptr<EchoRequest> sendEcho(quint32 address) const override;
    NeighbourState neighbour(quint32 address,
                             std::chrono::steady_clock::time_point notBefore) const override;
    bool reconfirmNeighbour(quint32 address, const NeighbourState& entry) const override;
    // From the kernel's settings, net.ipv4.neigh.default.*.
    NeighbourRoom neighbourRoom() const override;
    std::unique_ptr<LanNameRequest> askLanName(quint32 address) const override;
    std::optional<quint32> lanAddress(const QString& name, quint32 ownAddress,
                                      std::chrono::steady_clock::time_point deadline,
                                      const StopToken& stop) const override;

private:
    bool m_echoSockets;
    bool m_rawEcho;
    bool m_lanQueries;
};

class LinuxProfile final : public PlatformProfile {
public:
    // The installed tools, or stand-ins for tests.
    explicit LinuxProfile(const LinuxTools& tools = LinuxTools::installed());
};
