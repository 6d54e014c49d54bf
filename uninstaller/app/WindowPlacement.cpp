#include "WindowPlacement.h"

void CentreOnDesktop(HWND window)
{
    RECT desktop{}, rect{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int left = desktop.left + ((desktop.right - desktop.left) - width) / 2;
    int top = desktop.top + ((desktop.bottom - desktop.top) - height) / 2;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CoverFrame(HWND parent, HWND page, int frameId)
{
    HWND frame = GetDlgItem(parent, frameId);
    if (!frame || !page)
        return;
    RECT rect{};
    GetWindowRect(frame, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    SetWindowPos(page, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
