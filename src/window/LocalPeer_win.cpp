#include "window/LocalPeer.h"

#include <windows.h>

#include <vector>

namespace {

// The account a process runs as, copied out of its token; empty when it cannot be read.
std::vector<BYTE> accountOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    const bool read = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!read)
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::vector<BYTE> account(GetLengthSid(sid));
    if (!CopySid(DWORD(account.size()), account.data(), sid))
        return {};
    return account;
}

} // namespace

bool serverRunsAsThisUser(qintptr socketDescriptor)
{
    // A pipe's name is free to any user of the session to create first.
    ULONG serverId = 0;
    if (!GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socketDescriptor), &serverId))
        return false;
    const HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (!server)
        return false;
    const std::vector<BYTE> theirs = accountOf(server);
    CloseHandle(server);
    const std::vector<BYTE> ours = accountOf(GetCurrentProcess());
    return !theirs.empty() && theirs == ours;
}
