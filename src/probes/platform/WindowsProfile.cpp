#include "probes/platform/WindowsProfile.h"

#include "probes/packets/ProbeText.h"
#include "text/Cp932.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The value after an ipconfig key: the key is followed by its dot leader
// (". . . :" in the older layout, ". . . .:" in the current one) and a colon.
std::optional<QStringView> valueAfterKey(QStringView line, QStringView key)
{
    const qsizetype at = line.indexOf(key);
    if (at < 0)
        return std::nullopt;
    qsizetype i = at + key.size();
    while (i < line.size() && (line[i] == u'.' || line[i] == u' '))
        ++i;
    if (i >= line.size() || line[i] != u':')
        return std::nullopt;
    return line.mid(i + 1).trimmed();
}

} // namespace

WindowsProfile::WindowsProfile()
    : PlatformProfile(std::make_shared<WindowsConsole>(), std::make_shared<WindowsNames>(),
                      std::make_shared<WindowsLan>())
{}

QStringList WindowsConsole::requiredTools() const
{
    return {u"wsock32.dll"_s, u"icmp.dll"_s, u"ping.exe"_s, u"arp.exe"_s, u"ipconfig.exe"_s};
}

QString WindowsConsole::toolPath(const QString& name) const
{
    const QString found = findTool(name);
    return found.isEmpty() ? name : found;
}

CommandLine WindowsConsole::pingCommand(const QString& ip) const
{
    return {toolPath(u"ping.exe"_s), {u"-n"_s, u"1"_s, ip}};
}

ArpSource WindowsConsole::arpSource() const
{
    return {{toolPath(u"arp.exe"_s), {u"-a"_s}}, {}};
}

CommandLine WindowsConsole::adapterListCommand() const
{
    return {toolPath(u"ipconfig.exe"_s), {u"/all"_s}};
}

QString WindowsConsole::decodeOutput(QByteArrayView bytes) const
{
    return Cp932::decode(bytes);
}

bool WindowsConsole::pingAnswered(const QString& output, const QString& ip) const
{
    return parsePing(output, ip);
}

ArpMatch WindowsConsole::arpMac(const QString& output, const QString& ip) const
{
    return parseArp(output, ip);
}

QString WindowsConsole::adapterListMac(const QString& output) const
{
    return parseIpconfig(output);
}

QString WindowsNames::defaultRouteInterface() const
{
    // The adapter that holds the resolved address decides on Windows, where the
    // PC's name does not resolve to a loopback address.
    return {};
}

bool WindowsConsole::parsePing(const QString& output, const QString& ip)
{
    const QStringList lines = ProbeText::lines(output);
    for (const QString& line : lines) {
        if (!ProbeText::namesAddress(line, ip))
            continue;
        if (line.contains(u"Pinging"_s) || line.contains(u"statistics"_s))
            continue;
        if (line.contains(u"TTL="_s))
            return true;
    }
    return false;
}

ArpMatch WindowsConsole::parseArp(const QString& output, const QString& ip)
{
    ArpMatch match;
    const QStringList lines = ProbeText::lines(output);
    for (const QString& line : lines) {
        if (line.contains(u"Interface"_s) || line.contains(u"インターフェイス"_s))
            continue;
        const QStringList fields = ProbeText::fields(line);
        // Internet Address, Physical Address, Type
        if (fields.isEmpty() || fields.first() != ip)
            continue;
        const QString mac = fields.size() > 1 ? ProbeText::normaliseMac(fields[1]) : QString();
        if (mac.isEmpty()) {
            match.malformed = true;
            return match;
        }
        if (mac == ProbeText::kZeroMac)
            continue; // an "invalid" entry: the address did not resolve
        match.mac = mac;
        return match;
    }
    return match;
}

QString WindowsConsole::parseIpconfig(const QString& output)
{
    static const QStringList keys = {u"物理アドレス"_s, u"Physical Address"_s};
    const QStringList lines = ProbeText::lines(output);
    for (const QString& line : lines) {
        for (const QString& key : keys) {
            const auto value = valueAfterKey(line, key);
            if (!value)
                continue;
            // Tunnel adapters list eight groups, and an adapter without one lists
            // zeros: neither is an adapter address, so the search goes on.
            const QStringList fields = ProbeText::fields(*value);
            const QString mac = fields.isEmpty() ? QString() : ProbeText::normaliseMac(fields[0]);
            if (!mac.isEmpty() && mac != ProbeText::kZeroMac)
                return mac;
            break;
        }
    }
    return {};
}

NeighbourState WindowsLan::neighbourRow(int state, quint32 lastReachableMs, int interfaceIndex,
                                        std::chrono::steady_clock::time_point readAt)
{
    using Kind = NeighbourState::Kind;
    // NlnsUnreachable, NlnsIncomplete, NlnsProbe, NlnsDelay, NlnsStale, NlnsReachable,
    // NlnsPermanent.
    static constexpr Kind kinds[] = {Kind::Failed, Kind::Incomplete, Kind::Probe,    Kind::Delay,
                                     Kind::Stale,  Kind::Reachable,  Kind::Permanent};
    NeighbourState entry;
    if (state < 0 || state >= int(std::size(kinds)))
        return entry;
    entry.kind = kinds[state];
    entry.interfaceIndex = interfaceIndex;
    if (entry.kind == Kind::Reachable)
        entry.confirmedAt = readAt - std::chrono::milliseconds(lastReachableMs);
    return entry;
}
