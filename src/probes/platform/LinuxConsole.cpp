#include "probes/platform/LinuxProfile.h"

#include "probes/packets/ProbeText.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

} // namespace

LinuxTools LinuxTools::installed()
{
    LinuxTools tools;
    tools.ping = QStandardPaths::findExecutable(u"ping"_s, toolDirectories());
    tools.ip = QStandardPaths::findExecutable(u"ip"_s, toolDirectories());
    tools.routeTable = u"/proc/net/route"_s;
    tools.echoSockets = true;
    tools.rawEcho = true;
    tools.lanQueries = true;
    return tools;
}

LinuxProfile::LinuxProfile(const LinuxTools& tools)
    : PlatformProfile(std::make_shared<LinuxConsole>(tools),
                      std::make_shared<LinuxNames>(tools.routeTable),
                      std::make_shared<LinuxLan>(tools))
{}

LinuxConsole::LinuxConsole(LinuxTools tools)
    : m_tools(std::move(tools))
{}

QStringList LinuxConsole::requiredTools() const
{
    // A tool that was not found has an empty path, which findTool() never finds.
    return {m_tools.ping, m_tools.ip};
}

QString LinuxConsole::findTool(const QString& name) const
{
    if (name.isEmpty())
        return {};
    if (QDir::isAbsolutePath(name)) {
        const QFileInfo info(name);
        return info.exists() && info.isReadable() ? name : QString();
    }
    return QStandardPaths::findExecutable(name, toolDirectories());
}

CommandLine LinuxConsole::pingCommand(const QString& ip) const
{
    // -n: the reply line must name the address as given, never a looked-up name
    // (and no reverse lookup should add to the wait).
    return {m_tools.ping,
            {u"-n"_s, u"-c"_s, u"1"_s, u"-W"_s, QString::number(kPingWaitSeconds), ip}};
}

ArpSource LinuxConsole::arpSource() const
{
    // The kernel's table over netlink, the reading that also tells presence: its text
    // form has no states to tell a stale entry from a fresh one.
    return {{}, {}, true};
}

CommandLine LinuxConsole::adapterListCommand() const
{
    return {m_tools.ip, {u"-o"_s, u"link"_s}};
}

QString LinuxConsole::decodeOutput(QByteArrayView bytes) const
{
    return QString::fromUtf8(bytes);
}

bool LinuxConsole::pingAnswered(const QString& output, const QString& ip) const
{
    return parsePing(output, ip);
}

ArpMatch LinuxConsole::arpMac(const QString&, const QString&) const
{
    return {}; // no listing is ever read as text here (see arpSource)
}

QString LinuxConsole::adapterListMac(const QString& output) const
{
    return parseLinkList(output);
}

bool LinuxConsole::parsePing(const QString& output, const QString& ip)
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

QString LinuxConsole::parseLinkList(const QString& output)
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
