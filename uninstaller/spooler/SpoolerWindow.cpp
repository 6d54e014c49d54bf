#include "SpoolerWindow.h"

#include <algorithm>

#include "../door/Door.h"

namespace {

constexpr DWORD kPauseMs = 1000;
DWORD pauseMs = kPauseMs;
constexpr char kSpoolerWindowClass[] = "SpoolProcessClass";

} // namespace

void SetSpoolerWindowPause(DWORD milliseconds) { pauseMs = std::min(milliseconds, kPauseMs); }

int CloseSpoolerWindow(Door& door)
{
    HWND spooler = FindWindowA(kSpoolerWindowClass, nullptr);
    if (!spooler)
        return 0;
    if (door.CloseSpoolerWindow(spooler, kSpoolerWindowClass))
        Sleep(pauseMs);
    return 1;
}
