#pragma once

#include <QString>

#include <optional>

// The system's resolver and the few calls behind the PC's identity. They may block
// (a name server that does not answer holds a lookup for its timeout), so they run on
// worker threads only. Addresses are in host byte order.
class NameService {
public:
    virtual ~NameService() = default;

    // The computer's name as the system gives it, empty on failure.
    virtual QString computerName() const = 0;
    // Follows inet_addr: what it accepts, and no answer for 255.255.255.255, which
    // inet_addr cannot tell from a failure.
    virtual std::optional<quint32> parseAddress(const QString& text) const = 0;
    // The address's official name, empty when the resolver holds none.
    virtual QString reverseName(quint32 address) const = 0;
    // The first IPv4 address the resolver lists for the name, dotted; empty when none.
    virtual QString forwardAddress(const QString& name) const = 0;
    // The interface that carries the default route, empty when unknown.
    virtual QString defaultRouteInterface() const = 0;
};
