#include <gtest/gtest.h>

#include "app/Messages.h"
#include "machine/Machine.h"
#include "res/resource.h"
#include "support/WineBed.h"

namespace {

int CountMainWindows()
{
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM counter) -> BOOL {
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (lstrcmpA(name, kMainWindowClass) == 0)
                ++*reinterpret_cast<int*>(counter);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

} // namespace

TEST(SingleInstance, SecondStartBringsTheFirstForwardAndExitsWithZero)
{
    // A script on the machine, so that the loading asks nothing.
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), "[UnPrinterDrivers]\r\nQUORVEL Lumenta 2400,L\r\n"));
    std::string program = bed::Deliverable("prnuninst.exe");
    program.insert(0, 1, '"').push_back('"');
    bed::Process first(program);
    ASSERT_TRUE(first.Started());
    HWND window = nullptr;
    ASSERT_TRUE(bed::WaitFor(
        [&] {
            window = FindWindowA(kMainWindowClass, nullptr);
            return window != nullptr && IsWindowVisible(window);
        },
        30000))
        << "the first instance shows no main window";

    // Something else in front, minimized first window: the second start
    // must restore it and bring it back.
    ShowWindow(window, SW_MINIMIZE);
    bed::WaitFor([&] { return IsIconic(window) != FALSE; }, 5000);

    bed::Process second(program);
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(30000), 0);
    EXPECT_EQ(CountMainWindows(), 1);
    EXPECT_TRUE(bed::WaitFor([&] { return !IsIconic(window) && IsWindowVisible(window); }, 5000));
    EXPECT_TRUE(bed::WaitFor([&] { return GetForegroundWindow() == window; }, 5000));

    // Exit closes the program with result 1.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_EXIT, BN_CLICKED), 0);
    EXPECT_EQ(first.Wait(30000), 1);
    EXPECT_EQ(CountMainWindows(), 0);
}
