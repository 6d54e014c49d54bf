#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SplProxyFaults.h"
#include "app/MainDlg.h"
#include "app/Messages.h"
#include "machine/Machine.h"
#include "res/resource.h"
#include "script/MessageBox.h"
#include "support/WineBed.h"

namespace {

std::string Text(HWND window)
{
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

constexpr char kScript[] = "[UnPrinterDrivers]\r\n\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                           "[Lum2400.Files]\r\nQL2400.DLL\r\n";

// Every main window runs the loading dialog first: with a script on the
// machine and short ticks it completes without a question.
class LoadedMachine : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "the test bed runs with code page 932";
        instance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(RegisterMainWindowClass(instance));
        CLoadingDlg::SetTickPeriods(10, 200);
        ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kScript));
    }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
        CLoadingDlg::SetTickPeriods(300, 200);
        SplProxyFault_Clear();
    }
    void Open(MainDlg& main)
    {
        window = CreateDialogParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc,
                                    reinterpret_cast<LPARAM>(&main));
        ASSERT_NE(window, nullptr);
        bed::Pump(50);
    }
    bool UninstallEnabled() { return IsWindowEnabled(GetDlgItem(window, IDC_BTN_UNINSTALL)) != FALSE; }

    HINSTANCE instance = nullptr;
    machine::Machine machine;
    HWND window = nullptr;
};

class MainWindowTest : public LoadedMachine {
protected:
    void SetUp() override
    {
        LoadedMachine::SetUp();
        Open(main);
    }
    MainDlg main{SwitchList("prnuninst.exe")};
};

} // namespace

TEST_F(MainWindowTest, TitleAndButtonsComeFromTheStringTable)
{
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ(className, kMainWindowClass);
    EXPECT_EQ(Text(window), bed::Ansi("アンインストール"));
    EXPECT_EQ(Text(GetDlgItem(window, IDC_BTN_UNINSTALL)), bed::Ansi("アンインストール(&U)"));
    EXPECT_EQ(Text(GetDlgItem(window, IDC_BTN_EXIT)), bed::Ansi("キャンセル"));
}

TEST_F(MainWindowTest, SystemMenuGraysMaximizeAndSizeAndEndsWithTheAboutItem)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND) & MF_GRAYED);

    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    MENUITEMINFOA breakItem{};
    breakItem.cbSize = sizeof breakItem;
    breakItem.fMask = MIIM_FTYPE | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(count - 2), TRUE, &breakItem));
    // Appended with the column-break flag alone; an item without text is
    // then kept by the platform as a separator in that new column.
    EXPECT_TRUE(breakItem.fType & MFT_MENUBARBREAK);
    EXPECT_EQ(breakItem.wID, 0u);

    char label[128] = {};
    MENUITEMINFOA about{};
    about.cbSize = sizeof about;
    about.fMask = MIIM_ID | MIIM_STRING;
    about.dwTypeData = label;
    about.cch = sizeof label;
    ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(count - 1), TRUE, &about));
    EXPECT_EQ(about.wID, static_cast<UINT>(IDS_ABOUT_MENU));
    EXPECT_EQ(std::string(label), bed::Ansi("アプリケーションのバージョン情報(&A)..."));
}

TEST_F(MainWindowTest, SelectionPageCoversTheFrameAfterSetUp)
{
    EXPECT_TRUE(IsWindowVisible(window));
    HWND select = main.SelectPage().hwnd;
    HWND remove = main.RemovePage().hwnd;
    ASSERT_NE(select, nullptr);
    ASSERT_NE(remove, nullptr);
    EXPECT_TRUE(IsWindowVisible(select));
    EXPECT_TRUE(main.SelectPage().Visible());
    // Without "MFG", "PRN" or "UNVELT" the removal page is hidden.
    EXPECT_FALSE(IsWindowVisible(remove));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_PAGE_FRAME)));

    RECT frame{}, page{};
    GetWindowRect(GetDlgItem(window, IDC_PAGE_FRAME), &frame);
    GetWindowRect(select, &page);
    EXPECT_TRUE(EqualRect(&frame, &page));
    GetWindowRect(remove, &page);
    EXPECT_TRUE(EqualRect(&frame, &page));

    EXPECT_EQ(Text(GetDlgItem(select, IDC_SELECT_LABEL)),
              bed::Ansi("アンインストールするプリンタを選択してください(&S):"));
    EXPECT_EQ(Text(GetDlgItem(remove, IDC_ROW_FILE)), bed::Ansi("ファイルの削除"));

    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_BTN_EXIT)));
}

TEST_F(MainWindowTest, EnableUninstallMessage)
{
    HWND button = GetDlgItem(window, IDC_BTN_UNINSTALL);
    SendMessageA(window, UM_ENABLEUNINSTALL, 1, 0);
    EXPECT_TRUE(IsWindowEnabled(button));
    SendMessageA(window, UM_ENABLEUNINSTALL, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(button));
}

TEST_F(MainWindowTest, StartingTheRemovalLocksTheWindow)
{
    SendMessageA(window, UM_STARTREMOVAL, 0, 0);
    EXPECT_FALSE(IsWindowVisible(main.SelectPage().hwnd));
    EXPECT_TRUE(IsWindowVisible(main.RemovePage().hwnd));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_BTN_EXIT)));
    EXPECT_TRUE(GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);

    SendMessageA(window, UM_REMOVALDONE, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_BTN_EXIT)));
    EXPECT_TRUE(GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(MainWindowTest, MenuLoopSwapsRestoreAndMinimize)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    SendMessageA(window, WM_ENTERMENULOOP, TRUE, 0);
    EXPECT_TRUE(GetMenuState(menu, SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND) & MF_GRAYED);

    ShowWindow(window, SW_MINIMIZE);
    SendMessageA(window, WM_ENTERMENULOOP, TRUE, 0);
    EXPECT_FALSE(GetMenuState(menu, SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND) & MF_GRAYED);
}

TEST(SharedDialogProcedure, BeforeInitDialogOnlyOkAndCancelAct)
{
    // A dialog whose procedure never saw WM_INITDIALOG has no object: it
    // closes on OK (result 1) and Cancel (result 0) and ignores the rest.
    HWND window = CreateWindowA("#32770", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CDlg::StaticDlgProc(window, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0), TRUE);
    EXPECT_EQ(CDlg::StaticDlgProc(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0), TRUE);
    EXPECT_EQ(CDlg::StaticDlgProc(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), 0), FALSE);
    EXPECT_EQ(CDlg::StaticDlgProc(window, WM_COMMAND, MAKEWPARAM(2008, 0), 0), FALSE);
    EXPECT_EQ(CDlg::StaticDlgProc(window, WM_PAINT, 0, 0), FALSE);
    DestroyWindow(window);
}

TEST_F(LoadedMachine, WithoutOfferedPrintersUninstallIsEnabledAtOnce)
{
    ASSERT_TRUE(machine.InstallPrinter({"Plain", "Acme LaserWriter 9", false}));
    MainDlg main(SwitchList("prnuninst.exe"));
    Open(main);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(main.Database().Printers.size(), 1u) << "the foreign printer is in the inventory";
    EXPECT_TRUE(UninstallEnabled());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_BTN_EXIT)));
}

TEST_F(LoadedMachine, WithOfferedPrintersUninstallWaitsForASelection)
{
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    MainDlg main(SwitchList("prnuninst.exe"));
    Open(main);
    EXPECT_EQ(CountOfferedPrinters(main.Database()), 1);
    EXPECT_FALSE(UninstallEnabled());
    EXPECT_EQ(main.Database().BaseWorkList.Files, (ItemList{"QL2400.DLL"}));
}

TEST_F(LoadedMachine, NopickWithAFilterStartsTheRemovalOfEveryOfferedPrinterWithoutAChoice)
{
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta B", "QUORVEL Lumenta 2400"}));
    MainDlg main(SwitchList("prnuninst.exe /MFG:QUORVEL /NOPICK"));
    Open(main);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindowVisible(main.RemovePage().hwnd));
    EXPECT_FALSE(IsWindowVisible(main.SelectPage().hwnd));
    EXPECT_TRUE(main.RemovePage().Running());
    for (const CActivePrinter& printer : main.Database().Printers)
        EXPECT_EQ(printer.Skip, 0u) << printer.PrinterName << " is chosen though nobody chose it";
}

TEST_F(LoadedMachine, NopickAloneChangesNothing)
{
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    MainDlg main(SwitchList("prnuninst.exe /NOPICK"));
    Open(main);
    EXPECT_TRUE(IsWindowVisible(main.SelectPage().hwnd));
    EXPECT_FALSE(main.RemovePage().Running());
    EXPECT_FALSE(UninstallEnabled()) << "the printer waits for a choice";
}

TEST_F(LoadedMachine, BackFromTheRemovalToTheSelectionOnlyWhenPrintersRemainAndNoRestartIsDue)
{
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    MainDlg main(SwitchList("prnuninst.exe /MFG:QUORVEL"));
    Open(main);
    SendMessageA(window, UM_STARTREMOVAL, 0, 0);
    SendMessageA(window, UM_REMOVALDONE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(main.SelectPage().hwnd));
    EXPECT_FALSE(IsWindowVisible(main.RemovePage().hwnd));

    main.Database().RestartRequired = 1;
    SendMessageA(window, UM_STARTREMOVAL, 0, 0);
    SendMessageA(window, UM_REMOVALDONE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(main.SelectPage().hwnd));
    EXPECT_TRUE(IsWindowVisible(main.RemovePage().hwnd));

    main.Database().RestartRequired = 0;
    main.Database().Printers.front().Removed = 1;
    SendMessageA(window, UM_STARTREMOVAL, 0, 0);
    SendMessageA(window, UM_REMOVALDONE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(main.SelectPage().hwnd));
    EXPECT_TRUE(IsWindowVisible(main.RemovePage().hwnd));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_BTN_EXIT)));
}

TEST_F(LoadedMachine, AFailedLoadingEndsTheMainDialogWithOneUnseen)
{
    SplProxyFault_Set("EnumPrintersA", RPC_S_SERVER_UNAVAILABLE, -1);
    bool mainWindowShown = true;
    SetMessageAnswerer([&](const char*, const char*, UINT) {
        HWND found = FindWindowA(kMainWindowClass, nullptr);
        mainWindowShown = found && IsWindowVisible(found);
        return IDOK;
    });
    MainDlg main(SwitchList("prnuninst.exe"));
    const INT_PTR result =
        DialogBoxParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&main));
    SetMessageAnswerer([](const char* text, const char*, UINT) {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDCANCEL;
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(mainWindowShown);
}

namespace {

// Clicks Uninstall once the modal main window shows it enabled.
bool uninstallClicked = false;
void CALLBACK ClickUninstallWhenReady(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND main = FindWindowA(kMainWindowClass, nullptr);
    if (uninstallClicked || !main || !IsWindowVisible(main) || !IsWindowEnabled(GetDlgItem(main, IDC_BTN_UNINSTALL)))
        return;
    uninstallClicked = true;
    KillTimer(nullptr, timer);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_BTN_UNINSTALL, BN_CLICKED), 0);
}

} // namespace

TEST_F(LoadedMachine, EscapeAndCloseDuringTheStepsDoNotEndTheProgram)
{
    CRemoveDlg::SetWaits(10, 1);
    std::vector<int> steps;
    HWND mainWindow = nullptr;
    RemovalSequence::ObserveSteps([&](int step) {
        steps.push_back(step);
        mainWindow = FindWindowA(kMainWindowClass, nullptr);
        if (step == 3) {
            PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(mainWindow, WM_KEYUP, VK_ESCAPE, 0);
            PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        }
        if (step == 17)
            PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_BTN_EXIT, BN_CLICKED), 0);
    });
    std::vector<std::string> boxes;
    SetMessageAnswerer([&](const char* text, const char*, UINT) {
        boxes.emplace_back(text);
        return IDOK;
    });
    uninstallClicked = false;
    SetTimer(nullptr, 0, 100, ClickUninstallWhenReady);

    MainDlg main(SwitchList("prnuninst.exe"));
    const INT_PTR result =
        DialogBoxParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&main));
    RemovalSequence::ObserveSteps({});
    CRemoveDlg::SetWaits(200, 100);
    SetMessageAnswerer([](const char* text, const char*, UINT) {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDCANCEL;
    });

    EXPECT_EQ(result, 1);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), 17) << "the program ended in the middle of the removal";
    EXPECT_EQ(boxes, (std::vector<std::string>{bed::Ansi("プリンタのアンインストールが完了しました。")}));
}
