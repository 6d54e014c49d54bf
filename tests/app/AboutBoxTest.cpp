#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/AboutDlg.h"
#include "res/resource.h"
#include "support/WineBed.h"

namespace {

// What the running modal box showed, read from inside its loop.
struct Seen {
    std::string caption;
    std::vector<std::pair<std::string, std::string>> rows;
};

Seen* g_seen = nullptr;
WPARAM g_closeWith = IDOK;

void CALLBACK ReadAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = GetActiveWindow();
    if (!box || !GetDlgItem(box, IDC_ABOUT_LIST))
        return;
    KillTimer(nullptr, timer);
    char caption[128] = {};
    GetWindowTextA(box, caption, sizeof caption);
    g_seen->caption = caption;
    HWND list = GetDlgItem(box, IDC_ABOUT_LIST);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r)
        g_seen->rows.emplace_back(bed::ListItemText(list, r, 0), bed::ListItemText(list, r, 1));
    PostMessageA(box, WM_COMMAND, g_closeWith, 0);
}

INT_PTR RunAbout(Seen& seen, WPARAM closeWith)
{
    g_seen = &seen;
    g_closeWith = closeWith;
    SetTimer(nullptr, 0, 200, ReadAndClose);
    CAboutDlg about;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), nullptr, CDlg::StaticDlgProc,
                           reinterpret_cast<LPARAM>(&about));
}

} // namespace

TEST(AboutBox, ShowsVersionBuildPlatformAndMemory)
{
    Seen seen;
    EXPECT_EQ(RunAbout(seen, IDOK), 1);
    EXPECT_EQ(seen.caption, bed::Ansi("ボックスについて"));
    ASSERT_EQ(seen.rows.size(), 5u);
    EXPECT_EQ(seen.rows[0].first, bed::Ansi("バージョン "));
    // Version 1.0.1.0: the last three parts take at least two digits.
    EXPECT_EQ(seen.rows[0].second, "1.00.01.00");
    EXPECT_EQ(seen.rows[1].first, bed::Ansi("スタンプの作成"));
    // "Mmm dd yyyy hh:mm:ss"
    EXPECT_EQ(seen.rows[1].second.size(), 20u) << seen.rows[1].second;
    EXPECT_EQ(seen.rows[2].first, bed::Ansi("OS プラットフォーム"));
    EXPECT_EQ(seen.rows[2].second, "WinNT");
    EXPECT_EQ(seen.rows[3].first, "Free Physical RAM");
    EXPECT_EQ(seen.rows[4].first, "Swap File Size");

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    const unsigned long long shown = std::stoull(seen.rows[3].second);
    EXPECT_NEAR(static_cast<double>(shown), static_cast<double>(memory.ullAvailPhys / 1024), 512.0 * 1024);
    EXPECT_NE(seen.rows[3].second.find(" kb"), std::string::npos);
}

TEST(AboutBox, CancelAndExitCloseWithOne)
{
    Seen seen;
    EXPECT_EQ(RunAbout(seen, IDCANCEL), 1);
    Seen again;
    EXPECT_EQ(RunAbout(again, 2008), 1);
    EXPECT_EQ(PlatformClassName(4), std::string("WinCE"));
    EXPECT_EQ(PlatformClassName(0), std::string("Windows"));
    EXPECT_EQ(PlatformClassName(1), std::string("Win32s"));
}
