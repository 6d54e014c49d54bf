#include "SpoolerWindow.h"

#include <algorithm>

namespace {

constexpr DWORD kPauseMs = 1000;
DWORD pauseMs = kPauseMs;

} // namespace

void SetSpoolerWindowPause(DWORD milliseconds) { pauseMs = std::min(milliseconds, kPauseMs); }

int CloseSpoolerWindow()
{
    HWND spooler = FindWindowA("SpoolProcessClass", nullptr);
    if (!spooler)
        return 0;
    SendMessageA(spooler, WM_CLOSE, 0, 0);
    Sleep(pauseMs);
    return 1;
}
