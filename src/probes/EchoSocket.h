#pragma once

#include "probes/PlatformProfile.h"

#include <chrono>

// An echo request over an unprivileged ICMP socket (Linux: SOCK_DGRAM with
// IPPROTO_ICMP, allowed to the groups in net.ipv4.ping_group_range; the system's
// own ping uses it when it has no raw socket). The kernel gives the socket an
// identifier of its own and hands it only the replies carrying it, so any number
// of requests can be in flight side by side.
class EchoSocket final : public EchoRequest {
public:
    // nullptr when the system refuses such a socket (or has no descriptor left).
    static std::unique_ptr<EchoSocket> send(quint32 address, std::chrono::milliseconds wait);
    // Opens and closes one socket: whether send() would get one now.
    static bool allowed();

    ~EchoSocket() override;
    bool waitForReply(const StopToken& stop) override;

private:
    EchoSocket(int fd, quint32 address, std::chrono::milliseconds wait);

    int m_fd = -1;
    quint32 m_address = 0;
    bool m_sent = false;
    std::chrono::steady_clock::time_point m_deadline;
};
