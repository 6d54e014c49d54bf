#include "SpoolerWindow.h"

#include <algorithm>

#include "../common/Journal.h"

namespace {

constexpr DWORD kPauseMs = 1000;
DWORD pauseMs = kPauseMs;
constexpr char kSpoolerWindowClass[] = "SpoolProcessClass";

} // namespace

void SetSpoolerWindowPause(DWORD milliseconds) { pauseMs = std::min(milliseconds, kPauseMs); }

int CloseSpoolerWindow()
{
    HWND spooler = FindWindowA(kSpoolerWindowClass, nullptr);
    if (!spooler)
        return 0;
    if (journal::WouldChange(journal::op::kSpooler, kSpoolerWindowClass, "close"))
        return 1;
    SendMessageA(spooler, WM_CLOSE, 0, 0);
    journal::Changed(journal::op::kSpooler, kSpoolerWindowClass, "closed");
    Sleep(pauseMs);
    return 1;
}
