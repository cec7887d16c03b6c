#pragma once

#include "probes/platform/PlatformProfile.h"

// The program's own platform: "ping -n 1", "arp -a" and "ipconfig /all", whose
// console output is code page 932, in English or Japanese. The command lines and
// parsers build everywhere (their tests run on recorded outputs); the system calls
// live in WindowsProfile_win.cpp, and elsewhere WindowsProfile_noop.cpp answers
// them with nothing.
class WindowsConsole final : public ConsoleTools {
public:
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
    // A reply line names the address as a field and carries "TTL=". "Reply from
    // 192.168.0.5: Destination host unreachable." names the PC's own address and
    // is an error, not an answer.
    static bool parsePing(const QString& output, const QString& ip);
    // "arp -a": the row whose first field is the address; interface headers
    // ("Interface:", "インターフェイス:") are skipped.
    static ArpMatch parseArp(const QString& output, const QString& ip);
    // "ipconfig /all": the first "物理アドレス" or "Physical Address" line (the
    // Japanese key tried first) that holds an adapter address.
    static QString parseIpconfig(const QString& output);

private:
    QString toolPath(const QString& name) const;
};

// Winsock's resolver, which asks NetBIOS itself.
class WindowsNames final : public NameService {
public:
    QString computerName() const override;
    std::optional<quint32> parseAddress(const QString& text) const override;
    QString reverseName(quint32 address) const override;
    QString forwardAddress(const QString& name) const override;
    QString defaultRouteInterface() const override;
};

// The neighbour table (GetIpNetTable2); echo requests go through the console ping.
class WindowsLan final : public LanAccess {
public:
    NeighbourState neighbour(quint32 address,
                             std::chrono::steady_clock::time_point notBefore) const override;

    // A row of the system's neighbour table: its state, as NL_NEIGHBOR_STATE numbers
    // it, and the milliseconds since it was last reachable, read at `readAt`. Pure.
    static NeighbourState neighbourRow(int state, quint32 lastReachableMs, int interfaceIndex,
                                       std::chrono::steady_clock::time_point readAt);
};

class WindowsProfile final : public PlatformProfile {
public:
    WindowsProfile();
};
