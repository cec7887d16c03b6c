#pragma once

#include "probes/channels/StopToken.h"
#include "probes/host/Outcomes.h"

#include <QList>
#include <QString>
#include <QStringList>

class PlatformProfile;

// One network interface of this PC, as far as the identity rules need it.
struct LocalInterface {
    QString name;
    QStringList ipv4; // dotted addresses
    QString mac;      // MAC text, empty when the interface has no hardware address
    bool up = false;
    bool loopback = false;
    QList<AttachedNetwork> networks; // of its addresses, with their prefix lengths
};

// The interfaces the system reports now.
QList<LocalInterface> localInterfaces();

// The IPv4 networks of the up interfaces, each once, in address order: no loopback, no
// link-local network (169.254.0.0/16, made up by the interface itself).
QList<AttachedNetwork> attachedNetworks(const QList<LocalInterface>& interfaces);

// The PC's own address. Debian maps the PC's name to 127.0.1.1, which would put
// the survey range on the loopback network: a loopback answer is replaced by the
// first address of an up, non-loopback interface, the default route's interface
// first. Any other answer (also the empty one) stays as it is.
QString preferredOwnAddress(const QString& resolved, const QList<LocalInterface>& interfaces,
                            const QString& defaultRouteInterface);

// The adapter address that belongs to the own address: that of the interface
// holding it, else of the default route's interface, else of the first up,
// non-loopback interface with one. Empty when none has a non-zero address.
QString adapterMacFor(const QString& ownIp, const QList<LocalInterface>& interfaces,
                      const QString& defaultRouteInterface);

// MacGet: the adapter address of the PC, from the interface list and, when that
// gives nothing, from the adapter listing (MacGetIpconfig).
QString MacGet(const PlatformProfile& profile, const QString& ownIp, const StopToken& stop = {});

// MacGetIpconfig: the first adapter address of the platform's adapter listing;
// "00-00-00-00-00-00" when the listing fails or holds none.
QString MacGetIpconfig(const PlatformProfile& profile, const StopToken& stop = {});
