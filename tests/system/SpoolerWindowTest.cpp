#include <gtest/gtest.h>

#include <vector>

#include "door/RealDoor.h"
#include "spooler/SpoolerWindow.h"

namespace {

struct Close {
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Close> closes;

LRESULT CALLBACK SpoolerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        closes.push_back({wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(SpoolerWindow, TheSpoolersWindowIsAskedToCloseAndGivenTime)
{
    ASSERT_EQ(FindWindowA("SpoolProcessClass", nullptr), nullptr);
    RealDoor door;
    EXPECT_EQ(CloseSpoolerWindow(door), 0) << "no spooler window";

    WNDCLASSA wc{};
    wc.lpfnWndProc = SpoolerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SpoolProcessClass";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND spooler = CreateWindowA("SpoolProcessClass", "", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_NE(spooler, nullptr);

    SetSpoolerWindowPause(150);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(CloseSpoolerWindow(door), 1);
    const ULONGLONG elapsed = GetTickCount64() - start;
    SetSpoolerWindowPause(1000);
    DestroyWindow(spooler);
    UnregisterClassA("SpoolProcessClass", wc.hInstance);

    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].wParam, 0u);
    EXPECT_EQ(closes[0].lParam, 0);
    EXPECT_GE(elapsed, 140u) << "the spooler is given its time to go";
}
