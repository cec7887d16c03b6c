#include "probes/platform/LinuxProfile.h"

#include "probes/channels/EchoChannel.h"
#include "probes/channels/LanNames.h"
#include "probes/channels/NeighbourTable.h"
#include "probes/packets/ProbeText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace {

// ping and ip live in /usr/bin or /usr/sbin, and sbin is often missing from a
// desktop user's PATH.
const QStringList& toolDirectories()
{
    static const QStringList directories = {u"/usr/local/sbin"_s, u"/usr/local/bin"_s,
                                            u"/usr/sbin"_s,       u"/usr/bin"_s,
                                            u"/sbin"_s,           u"/bin"_s};
    return directories;
}

// The ATF_COM flag of the kernel's ARP table: the entry holds a resolved address.
constexpr uint kArpComplete = 0x2;
// RTF_UP of the kernel's route table.
constexpr uint kRouteUp = 0x1;

} // namespace

LinuxTools LinuxTools::installed()
{
    LinuxTools tools;
    tools.ping = QStandardPaths::findExecutable(u"ping"_s, toolDirectories());
    tools.ip = QStandardPaths::findExecutable(u"ip"_s, toolDirectories());
    tools.arpTable = u"/proc/net/arp"_s;
    tools.routeTable = u"/proc/net/route"_s;
    tools.echoSockets = true;
    tools.rawEcho = true;
    tools.lanQueries = true;
    return tools;
}

LinuxProfile::LinuxProfile()
    : m_tools(LinuxTools::installed())
{}

LinuxProfile::LinuxProfile(LinuxTools tools)
    : m_tools(std::move(tools))
{}

QStringList LinuxProfile::requiredTools() const
{
    // A tool that was not found has an empty path, which findTool() never finds.
    return {m_tools.ping, m_tools.ip, m_tools.arpTable};
}

QString LinuxProfile::findTool(const QString& name) const
{
    if (name.isEmpty())
        return {};
    if (QDir::isAbsolutePath(name)) {
        const QFileInfo info(name);
        return info.exists() && info.isReadable() ? name : QString();
    }
    return QStandardPaths::findExecutable(name, toolDirectories());
}

QString LinuxProfile::computerName() const
{
    return QSysInfo::machineHostName();
}

CommandLine LinuxProfile::pingCommand(const QString& ip) const
{
    // -n: the reply line must name the address as given, never a looked-up name
    // (and no reverse lookup should add to the wait).
    return {m_tools.ping,
            {u"-n"_s, u"-c"_s, u"1"_s, u"-W"_s, QString::number(kPingWaitSeconds), ip}};
}

std::unique_ptr<EchoRequest> LinuxProfile::sendEcho(quint32 address) const
{
    const auto wait = std::chrono::seconds(kPingWaitSeconds);
    if (m_tools.echoSockets) {
        if (const auto channel = EchoChannel::shared(EchoChannel::Kind::Datagram))
            return channel->send(address, wait);
    }
    if (m_tools.rawEcho) {
        if (const auto channel = EchoChannel::shared(EchoChannel::Kind::Raw))
            return channel->send(address, wait);
    }
    return nullptr;
}

PlatformProfile::EchoWay LinuxProfile::echoWay() const
{
    if (m_tools.echoSockets && EchoChannel::allowed(EchoChannel::Kind::Datagram))
        return EchoWay::EchoSocket;
    if (m_tools.rawEcho && EchoChannel::allowed(EchoChannel::Kind::Raw))
        return EchoWay::RawSocket;
    return EchoWay::ConsolePing;
}

ArpSource LinuxProfile::arpSource() const
{
    return {{}, m_tools.arpTable};
}

CommandLine LinuxProfile::adapterListCommand() const
{
    return {m_tools.ip, {u"-o"_s, u"link"_s}};
}

QString LinuxProfile::decodeOutput(QByteArrayView bytes) const
{
    return QString::fromUtf8(bytes);
}

bool LinuxProfile::pingAnswered(const QString& output, const QString& ip) const
{
    return parsePing(output, ip);
}

ArpMatch LinuxProfile::arpMac(const QString& output, const QString& ip) const
{
    return parseArpTable(output, ip);
}

QString LinuxProfile::adapterListMac(const QString& output) const
{
    return parseLinkList(output);
}

bool LinuxProfile::parsePing(const QString& output, const QString& ip)
{
    const QStringList lines = ProbeText::lines(output);
    for (const QString& line : lines) {
        if (!ProbeText::namesAddress(line, ip))
            continue;
        // The introduction ("PING 198.18.0.11 (198.18.0.11) 56(84) bytes of data.")
        // and the statistics header name the target without being a reply.
        if (line.startsWith(u"PING "_s) || line.contains(u"statistics"_s))
            continue;
        // A reply carries its ttl; "From 198.18.0.10 icmp_seq=1 Destination Host
        // Unreachable" names an address but is an error.
        if (line.contains(u" ttl="_s))
            return true;
    }
    return false;
}

ArpMatch LinuxProfile::parseArpTable(const QString& output, const QString& ip)
{
    ArpMatch match;
    const QStringList lines = ProbeText::lines(output);
    for (const QString& line : lines) {
        const QStringList fields = ProbeText::fields(line);
        // IP address, HW type, Flags, HW address, Mask, Device
        if (fields.isEmpty() || fields.first() != ip)
            continue;
        bool flagsOk = false;
        const uint flags = fields.size() > 2 ? fields[2].toUInt(&flagsOk, 16) : 0;
        if (flagsOk && !(flags & kArpComplete))
            continue; // still being resolved, or failed: no answer
        const QString mac = fields.size() > 3 ? ProbeText::normaliseMac(fields[3]) : QString();
        if (!flagsOk || mac.isEmpty()) {
            match.malformed = true;
            return match;
        }
        if (mac == ProbeText::kZeroMac)
            continue;
        match.mac = mac;
        return match;
    }
    return match;
}

QString LinuxProfile::parseLinkList(const QString& output)
{
    const QString key = u"link/ether "_s;
    const QStringList lines = ProbeText::lines(output);
    for (const QString& line : lines) {
        const qsizetype at = line.indexOf(key);
        if (at < 0)
            continue;
        const QStringList rest = ProbeText::fields(QStringView(line).mid(at + key.size()));
        if (rest.isEmpty())
            continue;
        const QString mac = ProbeText::normaliseMac(rest.first());
        if (!mac.isEmpty() && mac != ProbeText::kZeroMac)
            return mac;
    }
    return {};
}

QString LinuxProfile::parseDefaultRoute(const QString& routeTable)
{
    const QStringList lines = ProbeText::lines(routeTable);
    for (const QString& line : lines) {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
        const QStringList fields = ProbeText::fields(line);
        if (fields.size() < 8)
            continue;
        bool ok = false;
        const uint flags = fields[3].toUInt(&ok, 16);
        if (ok && (flags & kRouteUp) && fields[1] == u"00000000"_s && fields[7] == u"00000000"_s)
            return fields[0];
    }
    return {};
}

std::optional<quint32> LinuxProfile::parseAddress(const QString& text) const
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || bytes.contains('\0'))
        return std::nullopt;
    const in_addr_t address = inet_addr(bytes.constData());
    if (address == INADDR_NONE)
        return std::nullopt;
    return ntohl(address);
}

QString LinuxProfile::reverseName(quint32 address) const
{
    sockaddr_in socketAddress;
    std::memset(&socketAddress, 0, sizeof socketAddress);
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address);
    char host[NI_MAXHOST] = {};
    // NI_NAMEREQD: no name is an answer of its own, not the address echoed back.
    const int rc = getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress),
                               sizeof socketAddress, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0)
        return {};
    return QString::fromUtf8(host);
}

QString LinuxProfile::forwardAddress(const QString& name) const
{
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return {};
    QString text;
    if (found->ai_family == AF_INET) {
        const auto* socketAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        char buffer[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &socketAddress->sin_addr, buffer, sizeof buffer))
            text = QString::fromLatin1(buffer);
    }
    freeaddrinfo(found);
    return text;
}

QString LinuxProfile::defaultRouteInterface() const
{
    QFile table(m_tools.routeTable);
    if (m_tools.routeTable.isEmpty() || !table.open(QIODevice::ReadOnly))
        return {};
    return parseDefaultRoute(QString::fromUtf8(table.readAll()));
}

NeighbourState LinuxProfile::neighbour(quint32 address,
                                       std::chrono::steady_clock::time_point notBefore) const
{
    if (!m_tools.lanQueries)
        return {};
    return NeighbourTable::entry(address, notBefore);
}

bool LinuxProfile::reconfirmNeighbour(quint32 address, const NeighbourState& entry) const
{
    using Kind = NeighbourState::Kind;
    // Only an entry the kernel learnt by itself. One set by hand stays as it is, and so
    // does one another party keeps: the replace that restarts the confirmation would
    // clear that party's flag, and a probe that failed would lose the MAC it gave.
    const bool learnt = entry.kind == Kind::Reachable || entry.kind == Kind::Stale ||
                        entry.kind == Kind::Delay || entry.kind == Kind::Probe;
    if (!m_tools.lanQueries || !learnt || entry.keptByOthers)
        return false;
    return NeighbourTable::reconfirm(address, entry.interfaceIndex);
}

std::unique_ptr<LanNameRequest> LinuxProfile::askLanName(quint32 address) const
{
    if (!m_tools.lanQueries)
        return nullptr;
    return LanNames::ask(address);
}

std::optional<quint32> LinuxProfile::lanAddress(const QString& name, quint32 ownAddress,
                                                std::chrono::steady_clock::time_point deadline,
                                                const StopToken& stop) const
{
    if (!m_tools.lanQueries)
        return std::nullopt;
    return LanNames::addressOf(name, ownAddress, deadline, stop);
}
