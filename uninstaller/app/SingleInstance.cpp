#include "SingleInstance.h"

#include <windows.h>

#include "Messages.h"

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
