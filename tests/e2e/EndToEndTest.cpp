// prnuninst.exe as an administrator runs it: its own process on a machine
// with the maker's printers, driven through its windows as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "e2e/Packages.h"
#include "e2e/Runs.h"
#include "machine/Machine.h"
#include "res/resource.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

std::string Text(HWND window)
{
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

HWND PageWith(HWND main, int control)
{
    for (HWND page = FindWindowExA(main, nullptr, "#32770", nullptr); page;
         page = FindWindowExA(main, page, "#32770", nullptr)) {
        if (GetDlgItem(page, control))
            return page;
    }
    return nullptr;
}

// A message box of the program: a plain dialog with the program's title.
HWND MessageBoxWindow() { return FindWindowA("#32770", bed::Ansi("アンインストール").c_str()); }

// The drivers of this platform's environment, by name.
std::vector<std::string> InstalledDrivers()
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    std::vector<std::string> names;
    if (!EnumPrinterDriversA(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count))
        return names;
    const auto* info = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        names.emplace_back(info[i].pName);
    return names;
}

bool Enabled(HWND main, int id) { return IsWindowEnabled(GetDlgItem(main, id)) != FALSE; }

constexpr char kScript[] = "[UnPrinterDrivers]\r\n"
                           "\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                           "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n"
                           "[Lum2400.Files]\r\nQL2400.DLL\r\n"
                           "[Lum3100.Files]\r\nQL3100.DLL\r\n";

} // namespace

TEST(EndToEnd, TheChosenDefaultPrinterGoesWithItsDriverAndTheOneThatStaysBecomesTheDefault)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kScript));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta B", "QUORVEL Lumenta 3100"}));
    ASSERT_TRUE(machine.MakeDefault("Lumenta B"));

    bed::Process program(bed::Deliverable("prnuninst.exe"));
    ASSERT_TRUE(program.Started());

    HWND main = nullptr;
    ASSERT_TRUE(bed::WaitFor(
        [&] {
            main = FindWindowA(kMainWindowClass, nullptr);
            return main && IsWindowVisible(main);
        },
        60000))
        << "the loading never showed the main window";
    HWND select = PageWith(main, IDC_PRINTER_LIST);
    ASSERT_NE(select, nullptr);
    HWND list = GetDlgItem(select, IDC_PRINTER_LIST);
    ASSERT_TRUE(bed::WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 2; }, 10000));
    EXPECT_FALSE(Enabled(main, IDC_BTN_UNINSTALL)) << "nothing is chosen yet";

    // End selects the last printer, as the keyboard does.
    PostMessageA(list, WM_KEYDOWN, VK_END, 0);
    PostMessageA(list, WM_KEYUP, VK_END, 0);
    ASSERT_TRUE(bed::WaitFor([&] { return Enabled(main, IDC_BTN_UNINSTALL); }, 10000));
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);

    PostMessageA(GetDlgItem(main, IDC_BTN_UNINSTALL), BM_CLICK, 0, 0);
    HWND remove = PageWith(main, IDC_ROW_BUILD);
    ASSERT_NE(remove, nullptr);
    ASSERT_TRUE(bed::WaitFor([&] { return IsWindowVisible(remove) != FALSE; }, 10000));
    EXPECT_FALSE(Enabled(main, IDC_BTN_EXIT)) << "Exit waits for the removal";

    // The default printer went: the one that stays takes its place.
    HWND box = nullptr;
    ASSERT_TRUE(bed::WaitFor([&] { return (box = MessageBoxWindow()) != nullptr; }, 60000))
        << "the removal of the default printer was never told";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)),
              bed::Ansi("通常使用するプリンタが削除されました。\n 'Lumenta A' が新たに通常使用するプリンタに設定されました。"));
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);

    const std::string done = bed::Ansi("プリンタのアンインストールが完了しました。");
    ASSERT_TRUE(bed::WaitFor([&] { return (box = MessageBoxWindow()) && Text(GetDlgItem(box, 0xFFFF)) == done; },
                             60000))
        << "the last step never told the removal was complete";
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);

    ASSERT_TRUE(bed::WaitFor([&] { return IsWindowVisible(select) && !IsWindowVisible(remove); }, 10000))
        << "printers remain and nothing waits for a restart: the list comes back";
    ASSERT_TRUE(bed::WaitFor([&] { return Enabled(main, IDC_BTN_EXIT); }, 10000));
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1) << "the chosen printer is gone";
    const auto listed = machine::ListedPrinters();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "Lumenta A"), 1);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "Lumenta B"), 0);
    const auto drivers = InstalledDrivers();
    EXPECT_EQ(std::count(drivers.begin(), drivers.end(), "QUORVEL Lumenta 2400"), 1) << "Lumenta A still uses it";
    EXPECT_EQ(std::count(drivers.begin(), drivers.end(), "QUORVEL Lumenta 3100"), 0);
    char device[260] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    EXPECT_EQ(std::string(device).substr(0, 10), "Lumenta A,");
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0) << "the list was filled again";
    EXPECT_FALSE(Enabled(main, IDC_BTN_UNINSTALL));

    PostMessageA(GetDlgItem(main, IDC_BTN_EXIT), BM_CLICK, 0, 0);
    EXPECT_EQ(program.Wait(20000), 1);
}

namespace {

constexpr char kExtrasScript[] = "[UnPrinterDrivers]\r\n"
                                 "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n"
                                 "[Lum3100.Files]\r\nQL3100.DLL\r\n"
                                 "[Lum3100.PrintProcessors]\r\nQrvE2eProc\r\n"
                                 "[Lum3100.Monitors]\r\nQUORVEL E2E Monitor\r\n"
                                 "[Lum3100.Services]\r\nQrvE2eService\r\n"
                                 "[Lum3100.DeleteLoadRun]\r\n\"QUORVEL E2E Status\",qe2estat.exe\r\n"
                                 "[Lum3100.Hooks]\r\nqhook_e2e.dll,HookEntry\r\n";

// Starts the program, removes the one printer it lists and answers No to
// the restart offer that a deferred deletion brings, or, when `restart` is
// false, OK to the message that the removal is complete.
void RemoveTheOnlyPrinterDecliningTheRestart(bool restart = true)
{
    bed::Process program(bed::Deliverable("prnuninst.exe"));
    ASSERT_TRUE(program.Started());
    HWND main = nullptr;
    ASSERT_TRUE(bed::WaitFor([&] { return (main = FindWindowA(kMainWindowClass, nullptr)) && IsWindowVisible(main); },
                             60000));
    HWND list = GetDlgItem(PageWith(main, IDC_PRINTER_LIST), IDC_PRINTER_LIST);
    ASSERT_TRUE(bed::WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }, 10000));
    // Space selects the printer that has the focus, the only one.
    PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(list, WM_KEYUP, VK_SPACE, 0);
    ASSERT_TRUE(bed::WaitFor([&] { return Enabled(main, IDC_BTN_UNINSTALL); }, 10000));
    PostMessageA(GetDlgItem(main, IDC_BTN_UNINSTALL), BM_CLICK, 0, 0);

    HWND box = nullptr;
    ASSERT_TRUE(bed::WaitFor([&] { return (box = MessageBoxWindow()) != nullptr; }, 60000));
    if (!restart) {
        EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), bed::Ansi("プリンタのアンインストールが完了しました。"));
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        ASSERT_TRUE(bed::WaitFor([&] { return program.Wait(0) != -1 || Enabled(main, IDC_BTN_EXIT); }, 20000));
        PostMessageA(GetDlgItem(main, IDC_BTN_EXIT), BM_CLICK, 0, 0);
        EXPECT_NE(program.Wait(20000), -1);
        return;
    }
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)).rfind(bed::Ansi("プリンタのアンインストールはほぼ終わりました。"), 0), 0u)
        << Text(GetDlgItem(box, 0xFFFF));
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    EXPECT_EQ(program.Wait(20000), 1) << "answered no, the program still closes";
}

} // namespace

TEST(EndToEnd, WhatThePackageAddedGoesWithItAndAServiceThatStopsAndGoesAsksForNoRestart)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kExtrasScript));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta C", "QUORVEL Lumenta 3100"}));
    PackageExtras extras;
    ASSERT_TRUE(extras.Ready());

    // The service was stopped and went at once: nothing waits for the next
    // start of Windows.
    ASSERT_NO_FATAL_FAILURE(RemoveTheOnlyPrinterDecliningTheRestart(false));

    EXPECT_FALSE(bed::MachineKeyExists(kProcessorKey)) << "the listed print processor";
    EXPECT_FALSE(bed::MachineKeyExists(kMonitorKey)) << "the listed monitor's key";
    EXPECT_FALSE(ServiceExists("QrvE2eService"));
    EXPECT_FALSE(RunValueExists("QUORVEL E2E Status"));
    EXPECT_EQ(extras.HookCalls(), 1);
}

namespace {

constexpr char kFilesScript[] = "[UnPrinterDrivers]\r\n"
                                "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n"
                                "[Lum3100.Files]\r\nQL3100.DLL\r\nQLE2ELIB.DLL\r\nQLE2EINUSE.DLL=held\r\n"
                                "[Lum3100.RegistryKeys]\r\n"
                                "HKLM,\"SOFTWARE\\QUORVEL\\E2eTree\",,1\r\n"
                                "HKLM,SOFTWARE\\QUORVEL\\E2eValues,Gone\r\n"
                                "[Lum3100.DeleteIni]\r\nqe2e.ini,Settings,Remove\r\n"
                                "[Lum3100.Shortcuts]\r\n\"QUORVEL E2E\"\r\n\"QUORVEL E2E\",\"Status Monitor.exe\"\r\n";

} // namespace

TEST(EndToEnd, ListedFilesKeysIniLinesAndShortcutsGoAndAFileInUseWaitsForTheRestart)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kFilesScript));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta C", "QUORVEL Lumenta 3100"}));
    PackageFiles package;
    ASSERT_NE(package.held, INVALID_HANDLE_VALUE);

    // The held file waits for the next start of Windows, which is offered.
    ASSERT_NO_FATAL_FAILURE(RemoveTheOnlyPrinterDecliningTheRestart());

    EXPECT_FALSE(Exists(package.system + "QLE2ELIB.DLL"));
    EXPECT_FALSE(Exists(package.drivers + "QLE2ELIB.DLL"));
    EXPECT_TRUE(Exists(package.system + "QLE2EOTHER.DLL"));
    EXPECT_TRUE(Exists(package.drivers + "QLE2EOTHER.DLL"));
    EXPECT_TRUE(Exists(package.system + "QLE2EINUSE.DLL"));
    const std::string scheduled = PendingRenames();
    EXPECT_NE(scheduled.find(package.system + "QLE2EINUSE.DLL"), std::string::npos) << scheduled;

    EXPECT_FALSE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\E2eTree"));
    EXPECT_FALSE(ValueExists("SOFTWARE\\QUORVEL\\E2eValues", "Gone"));
    EXPECT_TRUE(ValueExists("SOFTWARE\\QUORVEL\\E2eValues", "Stays"));
    EXPECT_EQ(Content(package.ini), "[Settings]\r\nKeep=1\r\n");
    EXPECT_FALSE(Exists(package.group + "Status Monitor.lnk"));
    EXPECT_FALSE(Exists(package.group));
    EXPECT_TRUE(Exists(package.otherGroup + "Status Monitor.lnk"));
}
