#include "probes/host/LocalIdentity.h"

#include "probes/packets/ProbeText.h"
#include "probes/platform/CommandRunner.h"
#include "probes/platform/PlatformProfile.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>

namespace {

bool isUsableMac(const QString& mac)
{
    return !mac.isEmpty() && mac != ProbeText::kZeroMac;
}

const LocalInterface* findByName(const QList<LocalInterface>& interfaces, const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    for (const auto& interface : interfaces) {
        if (interface.name == name)
            return &interface;
    }
    return nullptr;
}

QStringList nonLoopbackAddresses(const LocalInterface& interface)
{
    QStringList addresses;
    if (!interface.up || interface.loopback)
        return addresses;
    for (const QString& ip : interface.ipv4) {
        if (!QHostAddress(ip).isLoopback())
            addresses.append(ip);
    }
    return addresses;
}

} // namespace

QList<LocalInterface> localInterfaces()
{
    QList<LocalInterface> result;
    const auto all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& system : all) {
        LocalInterface interface;
        interface.name = system.name();
        interface.up = system.flags().testFlag(QNetworkInterface::IsUp);
        interface.loopback = system.flags().testFlag(QNetworkInterface::IsLoopBack);
        interface.mac = ProbeText::normaliseMac(system.hardwareAddress());
        const auto entries = system.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            interface.ipv4.append(entry.ip().toString());
            const int prefix = entry.prefixLength();
            if (prefix >= 0 && prefix <= 32)
                interface.networks.append(AttachedNetwork::of(entry.ip().toIPv4Address(), prefix));
        }
        result.append(interface);
    }
    return result;
}

QList<AttachedNetwork> attachedNetworks(const QList<LocalInterface>& interfaces)
{
    constexpr AttachedNetwork linkLocal{0xA9FE0000u, 16};
    constexpr AttachedNetwork loopback{0x7F000000u, 8};
    QList<AttachedNetwork> networks;
    for (const LocalInterface& interface : interfaces) {
        if (!interface.up || interface.loopback)
            continue;
        for (const AttachedNetwork& network : interface.networks) {
            if (linkLocal.holds(network.network) || loopback.holds(network.network) ||
                networks.contains(network))
                continue;
            networks.append(network);
        }
    }
    std::sort(
        networks.begin(), networks.end(), [](const AttachedNetwork& a, const AttachedNetwork& b) {
            return a.network != b.network ? a.network < b.network : a.prefixLength < b.prefixLength;
        });
    return networks;
}

QString preferredOwnAddress(const QString& resolved, const QList<LocalInterface>& interfaces,
                            const QString& defaultRouteInterface)
{
    if (resolved.isEmpty() || !QHostAddress(resolved).isLoopback())
        return resolved;
    if (const auto* routed = findByName(interfaces, defaultRouteInterface)) {
        const QStringList addresses = nonLoopbackAddresses(*routed);
        if (!addresses.isEmpty())
            return addresses.first();
    }
    for (const auto& interface : interfaces) {
        const QStringList addresses = nonLoopbackAddresses(interface);
        if (!addresses.isEmpty())
            return addresses.first();
    }
    return resolved;
}

QString adapterMacFor(const QString& ownIp, const QList<LocalInterface>& interfaces,
                      const QString& defaultRouteInterface)
{
    if (!ownIp.isEmpty()) {
        for (const auto& interface : interfaces) {
            if (interface.ipv4.contains(ownIp) && isUsableMac(interface.mac))
                return interface.mac;
        }
    }
    if (const auto* routed = findByName(interfaces, defaultRouteInterface)) {
        if (isUsableMac(routed->mac))
            return routed->mac;
    }
    for (const auto& interface : interfaces) {
        if (interface.up && !interface.loopback && isUsableMac(interface.mac))
            return interface.mac;
    }
    return {};
}

QString MacGet(const PlatformProfile& profile, const QString& ownIp, const StopToken& stop)
{
    const QString mac =
        adapterMacFor(ownIp, localInterfaces(), profile.names().defaultRouteInterface());
    if (!mac.isEmpty())
        return mac;
    return MacGetIpconfig(profile, stop);
}

QString MacGetIpconfig(const PlatformProfile& profile, const StopToken& stop)
{
    const CommandRun run = DOS_DOUKI(profile.console().adapterListCommand(), stop);
    if (!run.finished())
        return ProbeText::kZeroMac.toString();
    const QString mac =
        profile.console().adapterListMac(profile.console().decodeOutput(run.output));
    return mac.isEmpty() ? ProbeText::kZeroMac.toString() : mac;
}
