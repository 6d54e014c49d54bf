#include "SingleInstance.h"

#include <windows.h>

#include "../common/Handles.h"
#include "Messages.h"

namespace {
// Global: a deployment tool runs the program in the services' session while
// an administrator may run it in their own.
constexpr char kInstanceMutex[] = "Global\\QRVUninstall_Q.Running";
} // namespace

void LeaveIfAlreadyRunning()
{
    HWND existing = FindWindowA(kMainWindowClass, nullptr);
    if (!existing)
        return;
    ShowWindow(existing, SW_SHOWDEFAULT);
    BringWindowToTop(existing);
    SetForegroundWindow(existing);
    throw 0;
}

bool ClaimInstance()
{
    static KernelHandle mark;
    if (mark)
        return true;
    mark.Attach(CreateMutexA(nullptr, FALSE, kInstanceMutex));
    if (!mark)
        return GetLastError() != ERROR_ACCESS_DENIED;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        mark.Close();
        return false;
    }
    return true;
}

bool AnotherInstanceRuns() { return FindWindowA(kMainWindowClass, nullptr) != nullptr || !ClaimInstance(); }
