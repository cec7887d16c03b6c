#pragma once

#include <QtGlobal>

// Whether the program listening at the other end of a connected local socket (its
// descriptor, as QLocalSocket gives it) runs as this user. Another user who took a
// window's socket name first must not be taken for that window.
bool serverRunsAsThisUser(qintptr socketDescriptor);
