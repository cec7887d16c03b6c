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
