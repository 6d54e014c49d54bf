#include "RestartRequest.h"

#include <windows.h>

#include <utility>

#include "../common/Handles.h"

namespace {

RestartRequester& Requester()
{
    static RestartRequester requester;
    return requester;
}

bool Request(RestartVariant variant, const char* command)
{
    if (Requester())
        return Requester()(variant, command);
    if (variant == RestartVariant::RestartProgram)
        return WinExec(command, SW_HIDE) >= 32;
    return ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
}

bool EnableShutdownPrivilege()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened))
        return false;
    KernelHandle token(opened);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        return false;
    // Success with ERROR_NOT_ALL_ASSIGNED means the token lacks the privilege.
    SetLastError(ERROR_SUCCESS);
    const BOOL adjusted = AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    return adjusted && GetLastError() == ERROR_SUCCESS;
}

} // namespace

void SetRestartRequester(RestartRequester requester) { Requester() = std::move(requester); }

bool RequestRestartOfWindows(RestartVariant variant, const char* command)
{
    if (variant == RestartVariant::PrivilegedReboot && !EnableShutdownPrivilege())
        return false;
    return Request(variant, command);
}
