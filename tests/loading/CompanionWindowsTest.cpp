#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "door/RealDoor.h"
#include "spooler/CompanionWindows.h"
#include "support/WineBed.h"

namespace {

struct Received {
    std::string windowClass;
    UINT message;
    LPARAM lParam;
};

std::vector<Received> received;
UINT closeMessage = 0;

LRESULT CALLBACK CompanionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (message == WM_CLOSE || (closeMessage != 0 && message == closeMessage)) {
        received.push_back({name, message, lParam});
        // One of them refuses to close.
        return std::string(name) == "ZbridgeWClass_Q" ? 1 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class CompanionWindows : public testing::Test {
protected:
    void SetUp() override
    {
        received.clear();
        closeMessage = RegisterWindowMessageA("QUninstClose_Q");
        for (const char* name : {"ZPSD_Q", "QRVStatusClass_Q", "ZbridgeWClass_Q", "SdStatusWindowClass_Q"}) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = CompanionProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = name;
            RegisterClassA(&wc);
            windows.push_back(CreateWindowA(name, name, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                            GetModuleHandleA(nullptr), nullptr));
            ASSERT_NE(windows.back(), nullptr);
        }
    }
    void TearDown() override
    {
        for (HWND window : windows)
            DestroyWindow(window);
    }
    std::vector<HWND> windows;
    RealDoor door;
};

} // namespace

TEST_F(CompanionWindows, CloseWindowByClassTellsWhetherTheWindowAgreed)
{
    EXPECT_EQ(CloseWindowByClass(door, "QRVStatusClass_Q", 0, 7), 1);
    EXPECT_EQ(CloseWindowByClass(door, "ZbridgeWClass_Q", 0, 0), 0);
    EXPECT_EQ(CloseWindowByClass(door, "QRVInstallClass__", 0, 0), 0) << "not running";
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(received[0].lParam, 7);
}

TEST_F(CompanionWindows, EveryClassInTurnThenTheBroadcast)
{
    EXPECT_EQ(CloseCompanionWindows(door), 1);
    bed::Pump(200); // the registered message is posted
    std::vector<std::string> order;
    for (const Received& r : received) {
        if (r.message == WM_CLOSE)
            order.push_back(r.windowClass + (r.lParam ? ":1" : ":0"));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"SdStatusWindowClass_Q:0", "QRVStatusClass_Q:0", "ZbridgeWClass_Q:0",
                                               "ZPSD_Q:1"}));
    int broadcasts = 0;
    for (const Received& r : received)
        broadcasts += r.message == closeMessage ? 1 : 0;
    EXPECT_EQ(broadcasts, 4) << "every top-level window gets \"QUninstClose_Q\"";
}
