#include "window/LocalPeer.h"

#include <sys/socket.h>
#include <unistd.h>

bool serverRunsAsThisUser(qintptr socketDescriptor)
{
    const int fd = int(socketDescriptor);
#if defined(SO_PEERCRED)
    // The credentials the listening program had when it began to listen.
    struct ucred peer {};
    socklen_t size = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof(peer))
        return false;
    return peer.uid == ::geteuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(fd, &uid, &gid) == 0 && uid == ::geteuid();
#endif
}
