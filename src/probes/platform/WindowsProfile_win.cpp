#include "probes/platform/WindowsProfile.h"

#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS // inet_addr: its quirks are the contract
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN // keeps the old winsock.h out of windows.h
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h: the neighbour table's types need its address types.
#include <iphlpapi.h>
#include <netioapi.h>

namespace {

// Every lookup starts Winsock and cleans it up again: no state outlives a lookup.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        m_ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession()
    {
        if (m_ok)
            WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

const wchar_t* wide(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString searchIn(const wchar_t* path, const QString& name)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = SearchPathW(path, wide(name), nullptr, MAX_PATH + 1, buffer, nullptr);
    if (length == 0 || length > MAX_PATH)
        return {};
    return QString::fromWCharArray(buffer, int(length));
}

} // namespace

QString WindowsConsole::findTool(const QString& name) const
{
    if (name.isEmpty())
        return {};
    // The system directory first: a ping.exe beside the program or in the working
    // directory must not be the one that runs.
    wchar_t system[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH) {
        const QString found = searchIn(system, name);
        if (!found.isEmpty())
            return found;
    }
    return searchIn(nullptr, name);
}

QString WindowsNames::computerName() const
{
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &size))
        return {};
    return QString::fromWCharArray(buffer, int(size));
}

std::optional<quint32> WindowsNames::parseAddress(const QString& text) const
{
    const QByteArray bytes = text.toLocal8Bit();
    if (bytes.isEmpty() || bytes.contains('\0'))
        return std::nullopt;
    const WinsockSession winsock;
    if (!winsock.ok())
        return std::nullopt;
    const unsigned long address = inet_addr(bytes.constData());
    if (address == INADDR_NONE)
        return std::nullopt;
    return ntohl(address);
}

QString WindowsNames::reverseName(quint32 address) const
{
    const WinsockSession winsock;
    if (!winsock.ok())
        return {};
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address);
    wchar_t host[NI_MAXHOST] = {};
    // NI_NAMEREQD: no name is an answer of its own, not the address echoed back.
    if (GetNameInfoW(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                     NI_MAXHOST, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return QString::fromWCharArray(host);
}

QString WindowsNames::forwardAddress(const QString& name) const
{
    const WinsockSession winsock;
    if (!winsock.ok())
        return {};
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(wide(name), nullptr, &hints, &found) != 0 || !found)
        return {};
    QString text;
    if (found->ai_family == AF_INET) {
        const auto* socketAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        wchar_t buffer[INET_ADDRSTRLEN] = {};
        if (InetNtopW(AF_INET, &socketAddress->sin_addr, buffer, INET_ADDRSTRLEN))
            text = QString::fromWCharArray(buffer);
    }
    FreeAddrInfoW(found);
    return text;
}

NeighbourState WindowsLan::neighbour(quint32 address, std::chrono::steady_clock::time_point) const
{
    // A fresh reading every time: the table is read from memory, not the network.
    PMIB_IPNET_TABLE2 table = nullptr;
    if (GetIpNetTable2(AF_INET, &table) != NO_ERROR) {
        NeighbourState none;
        none.unread = true;
        return none;
    }
    const auto readAt = std::chrono::steady_clock::now();
    NeighbourState found;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (ntohl(row.Address.Ipv4.sin_addr.s_addr) != address)
            continue;
        const NeighbourState entry = neighbourRow(
            int(row.State), row.ReachabilityTime.LastReachable, int(row.InterfaceIndex), readAt);
        if (found.kind != NeighbourState::Kind::Reachable)
            found = entry;
    }
    FreeMibTable(table);
    return found;
}
