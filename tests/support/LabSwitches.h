#pragma once

#include <QFile>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Inside the network lab's scanner namespace (root): whether the system allows
// unprivileged ICMP echo sockets, so a test can take the probes down either path,
// the program's own echo request or the console ping.
inline bool allowEchoSockets(bool allow)
{
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    return range.open(QIODevice::WriteOnly) && range.write(allow ? "0 2147483647\n" : "1 0\n") > 0;
}

// Whether the calling thread, and the threads it starts from now on, may open raw
// sockets: capabilities belong to threads, not to the process. Root keeps
// CAP_NET_RAW in its permitted set, so it can be given back.
inline bool allowRawSockets(bool allow)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    const quint32 bit = quint32(1) << CAP_NET_RAW;
    if (!(data[0].permitted & bit))
        return !allow;
    data[0].effective = allow ? data[0].effective | bit : data[0].effective & ~bit;
    return ::syscall(SYS_capset, &header, data) == 0;
}

// A counter of this namespace's kernel from /proc/net/snmp ("Udp", "SndbufErrors"):
// the line of names, then the line of values; -1 when it does not say.
inline qint64 kernelCounter(const QByteArray& group, const QByteArray& name)
{
    QFile snmp(QStringLiteral("/proc/net/snmp"));
    if (!snmp.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> lines = snmp.readAll().split('\n');
    lines.removeIf([&](const QByteArray& line) { return !line.startsWith(group + ": "); });
    const qsizetype at = lines.value(0).simplified().split(' ').indexOf(name);
    return at > 0 ? lines.value(1).simplified().split(' ').value(at, "-1").toLongLong() : -1;
}
