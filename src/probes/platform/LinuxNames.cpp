#include "probes/platform/LinuxProfile.h"

#include "probes/packets/ProbeText.h"

#include <QFile>
#include <QSysInfo>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace {

// RTF_UP of the kernel's route table.
constexpr uint kRouteUp = 0x1;

} // namespace

LinuxNames::LinuxNames(QString routeTable)
    : m_routeTable(std::move(routeTable))
{}

QString LinuxNames::computerName() const
{
    return QSysInfo::machineHostName();
}

QString LinuxNames::parseDefaultRoute(const QString& routeTable)
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

std::optional<quint32> LinuxNames::parseAddress(const QString& text) const
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || bytes.contains('\0'))
        return std::nullopt;
    const in_addr_t address = inet_addr(bytes.constData());
    if (address == INADDR_NONE)
        return std::nullopt;
    return ntohl(address);
}

QString LinuxNames::reverseName(quint32 address) const
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

QString LinuxNames::forwardAddress(const QString& name) const
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

QString LinuxNames::defaultRouteInterface() const
{
    QFile table(m_routeTable);
    if (m_routeTable.isEmpty() || !table.open(QIODevice::ReadOnly))
        return {};
    return parseDefaultRoute(QString::fromUtf8(table.readAll()));
}
