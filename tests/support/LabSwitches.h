#pragma once

#include <QFile>

// Inside the network lab's scanner namespace (root): whether the system allows
// unprivileged ICMP echo sockets, so a test can take the probes down either path,
// the program's own echo request or the console ping.
inline bool allowEchoSockets(bool allow)
{
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    return range.open(QIODevice::WriteOnly) && range.write(allow ? "0 2147483647\n" : "1 0\n") > 0;
}
