// The loading dialog step by step: the test sends the timer ticks itself
// (or lets a shortened timer run) and watches the steps, the progress bar,
// the spooler service and the database fill up.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "SplProxyFaults.h"
#include "app/LoadingDlg.h"
#include "app/Messages.h"
#include "engine/RemovalEngine.h"
#include "machine/Machine.h"
#include "res/resource.h"
#include "script/MessageBox.h"
#include "door/SpoolerService.h"
#include "support/JournalCapture.h"
#include "support/WineBed.h"

namespace {

constexpr char kScript[] = "[UnPrinterDrivers]\r\n\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                           "[Lum2400.Files]\r\nQL2400.DLL\r\nQLCOMMON.DLL\r\n";

struct Message {
    std::string text;
    UINT style;
    int step;
};

class LoadingDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        SplProxyFault_Clear();
        CLoadingDlg::SetTickPeriods(20, 200);
        SetMessageAnswerer([this](const char* text, const char*, UINT style) {
            messages.push_back({text, style, work.Step()});
            return onMessage ? onMessage() : IDOK;
        });
    }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
        CLoadingDlg::SetTickPeriods(300, 200);
        SplProxyFault_Clear();
        SetMessageAnswerer(nullptr);
    }

    void Open()
    {
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LOADING), nullptr,
                                    CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&loading));
        ASSERT_NE(window, nullptr);
    }
    void Tick() { SendMessageA(window, WM_TIMER, IDT_LOADING, 0); }
    // Ticks until the dialog ends; the number of ticks it took.
    int RunToEnd()
    {
        int ticks = 0;
        while (work.Result() < 0 && ticks < 60) {
            Tick();
            ++ticks;
        }
        return ticks;
    }
    int Position() { return static_cast<int>(SendDlgItemMessageA(window, IDC_LOADING_PROGRESS, PBM_GETPOS, 0, 0)); }
    void PutScript() { ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kScript)); }

    machine::Machine machine;
    UninstallDatabase database;
    RemovalEngine engine{database, EngineSettings(SwitchList("prnuninst.exe"))};
    Loading& work = engine.Load();
    CLoadingDlg loading{work};
    HWND window = nullptr;
    std::vector<Message> messages;
    std::function<int()> onMessage;
};

} // namespace

TEST_F(LoadingDialogTest, StepsRunInOrderBehindTheProgressBar)
{
    PutScript();
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta B", "QUORVEL Lumenta 2400"}));
    const JournalCapture journal;
    Open();
    char caption[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_EQ(std::string(caption), bed::Ansi("プリンタのアンインストールを読込み中..."));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_LOADING_STATUS)));
    EXPECT_EQ(Position(), 1);
    EXPECT_EQ(work.Step(), 0);

    Tick(); // administrator check
    EXPECT_EQ(work.Step(), 1);
    EXPECT_EQ(Position(), 5);
    Tick(); // companion programs
    Tick(); // spooler stopped
    EXPECT_EQ(work.Step(), 3);
    EXPECT_NE(bed::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
    Tick(); // one tick for the spooler to settle
    EXPECT_EQ(work.Step(), 3);
    EXPECT_EQ(Position(), 15);
    Tick();
    Tick(); // spooler started again
    EXPECT_EQ(work.Step(), 5);
    const DWORD state = bed::ServiceState("Spooler");
    EXPECT_TRUE(state == SERVICE_RUNNING || state == SERVICE_START_PENDING) << state;
    EXPECT_TRUE(work.Scripts().empty());

    Tick(); // scripts found
    ASSERT_EQ(work.Scripts().size(), 1u);
    EXPECT_EQ(work.Scripts()[0], machine::DriverDirectory() + "Xrmv___Q.unm");
    EXPECT_EQ(Position(), 30); // 20, then one step of 10 for the one script
    EXPECT_TRUE(database.Profiles.empty());
    Tick(); // scripts read
    ASSERT_EQ(database.Profiles.size(), 1u);
    EXPECT_TRUE(database.BaseWorkList.Files.empty());
    Tick(); // base work list
    EXPECT_EQ(database.BaseWorkList.Files, (ItemList{"QL2400.DLL", "QLCOMMON.DLL"}));
    EXPECT_TRUE(database.Printers.empty());
    Tick(); // inventory
    EXPECT_EQ(database.Printers.size(), 2u);
    EXPECT_EQ(work.Step(), 9);
    Tick();
    EXPECT_EQ(Position(), 96);
    EXPECT_EQ(work.Result(), -1);
    Tick(); // timer stopped, dialog ends with 1
    EXPECT_EQ(work.Result(), 1);
    EXPECT_EQ(Position(), 97);
    EXPECT_TRUE(messages.empty());
    // Asked before the spooler stops and again once it runs: two lines
    // that tell the two requests apart.
    const std::vector<JournalCapture::Line> asked = journal.Of("companion program", "QUninstClose_Q");
    ASSERT_EQ(asked.size(), 2u) << journal.Dump();
    EXPECT_EQ(asked[0].reason, "asked to close");
    EXPECT_EQ(asked[1].reason, "asked again to close");
}

TEST_F(LoadingDialogTest, WithoutAnyScriptItWarnsAndGoesOn)
{
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    Open();
    RunToEnd();
    EXPECT_EQ(work.Result(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].step, 5);
    EXPECT_EQ(messages[0].text,
              bed::Ansi("警告:アンインストール スクリプト (*.unm) の場所を特定できません。\n"
                        "アンインストールを続行しますが､ご使用のプリンタの関連ドライバ ファイルは､"
                        "これらのファイルなしでは完全に消去することはできないことにお気をつけください。"));
    EXPECT_EQ(messages[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(database.Printers.size(), 1u);
    EXPECT_TRUE(database.BaseWorkList.Files.empty());
}

TEST_F(LoadingDialogTest, AFailedBuildRunsTheRoundOnceMoreWithoutListingAPrinterTwice)
{
    PutScript();
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta B on the second floor", "QUORVEL Lumenta 2400"}));
    // The second printer can't be opened, so its driver name is looked up in
    // the level-2 list, whose size query fails once: when the first printer
    // is already in the list.
    SplProxyFault_DenyPrinter("Lumenta B on the second floor", ERROR_ACCESS_DENIED);
    SplProxyFault_SetAfter("EnumPrintersA", ERROR_INVALID_HANDLE, 2, 1);
    Open();
    for (int i = 0; i < 10; ++i) // steps 0 to 8 with the one-tick wait
        Tick();
    EXPECT_EQ(work.Step(), 1) << "back to the companion programs";
    EXPECT_EQ(Position(), 15); // position 5, then one step of 10 (one script)
    EXPECT_NE(std::string(work.Inventory().LastInventoryError()).find("EnumPrinters"), std::string::npos);
    EXPECT_TRUE(database.Printers.empty());
    EXPECT_TRUE(messages.empty());

    RunToEnd();
    EXPECT_EQ(work.Result(), 1);
    ASSERT_EQ(database.Printers.size(), 2u);
    EXPECT_STREQ(database.Printers.front().PrinterName, "Lumenta A");
    EXPECT_STREQ(database.Printers.back().PrinterName, "Lumenta B on the second floor");
    EXPECT_FALSE(database.Printers.back().IsOffered());
    EXPECT_EQ(database.Profiles.size(), 1u) << "reading the scripts again adds nothing";
}

TEST_F(LoadingDialogTest, AMachineWithoutPrintersLoadsTwiceThenCompletes)
{
    PutScript();
    Open();
    // Steps 0 to 8 with the one-tick wait, then steps 1 to 10 once more.
    EXPECT_EQ(RunToEnd(), 10 + 10);
    EXPECT_EQ(work.Result(), 1);
    EXPECT_TRUE(database.Printers.empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(LoadingDialogTest, WithoutPrintersAndScriptsTheSecondRoundWarnsNoMore)
{
    Open();
    EXPECT_EQ(RunToEnd(), 10 + 10);
    EXPECT_EQ(work.Result(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].step, 5);
}

TEST_F(LoadingDialogTest, ASilentSpoolerEndsTheLoadingWithZero)
{
    PutScript();
    SplProxyFault_Set("EnumPrintersA", RPC_S_SERVER_UNAVAILABLE, -1);
    Open();
    RunToEnd();
    EXPECT_EQ(work.Result(), 0);
    EXPECT_EQ(work.Step(), 8);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(messages[0].text, bed::Ansi("印刷スプーラー サブシステムから反応がありません。\n"
                                          "アンインストールを再実行してください。\n"
                                          "この問題が繰り返し起こる場合は、Windows を再起動してからアンインストールを実行してください。"));
}

// A build that fails in both rounds: nothing may be removed on its word.
struct FailedBuild {
    const char* name;
    std::function<void()> provoke;
};

void PrintTo(const FailedBuild& build, std::ostream* out) { *out << build.name; }

class FailedBuildTest : public LoadingDialogTest, public testing::WithParamInterface<FailedBuild> {};

TEST_P(FailedBuildTest, RunsTheRoundOnceMoreThenEndsTheLoadingWithZero)
{
    PutScript();
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta B", "QUORVEL Lumenta 2400"}));
    GetParam().provoke();
    Open();
    // Steps 0 to 8 with the one-tick wait, then steps 1 to 8 once more.
    EXPECT_EQ(RunToEnd(), 10 + 8);
    EXPECT_EQ(work.Result(), 0);
    EXPECT_EQ(work.Step(), 8);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(messages[0].text.rfind(bed::Ansi("印刷スプーラー サブシステムから反応がありません。"), 0), 0u);
    EXPECT_TRUE(database.Printers.empty());
}

INSTANTIATE_TEST_SUITE_P(
    LoadingDialogTest, FailedBuildTest,
    testing::Values(
        FailedBuild{"SizeQueryRefused", [] { SplProxyFault_Set("EnumPrintersA", ERROR_ACCESS_DENIED, -1); }},
        FailedBuild{"EnumerationFails",
                    [] { SplProxyFault_SetAfter("EnumPrintersA", ERROR_NOT_ENOUGH_MEMORY, 1, -1); }},
        FailedBuild{"NoCallGivesTheDriver",
                    [] {
                        SplProxyFault_DenyPrinter("Lumenta B", ERROR_ACCESS_DENIED);
                        SplProxyFault_SetDriverName("Lumenta B", "");
                    }}),
    [](const testing::TestParamInfo<FailedBuild>& info) { return std::string(info.param.name); });

TEST_F(LoadingDialogTest, ASpoolerThatCannotStartEndsTheLoadingWithItsMessage)
{
    PutScript();
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
    ASSERT_NE(spooler, nullptr);
    BYTE buffer[8192] = {};
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigA(spooler, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), sizeof buffer, &needed));
    const DWORD startType = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer)->dwStartType;
    ASSERT_TRUE(ChangeServiceConfigA(spooler, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    Open();
    RunToEnd();

    ChangeServiceConfigA(spooler, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
    StartServiceA(spooler, 0, nullptr);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);

    EXPECT_EQ(work.Result(), 0);
    EXPECT_EQ(work.Step(), 4);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              bed::Ansi("スプーラーが不安定です!\n再起動してアンインストールをもう一度実行してください。"));
    EXPECT_EQ(messages[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_TRUE(database.Profiles.empty());
}

TEST_F(LoadingDialogTest, CancelAnsweredNoResumesAfter200msWhereItStopped)
{
    PutScript();
    Open();
    ShowWindow(window, SW_SHOW); // starts the timer
    ASSERT_TRUE(bed::WaitFor([&] { return work.Step() >= 5; }, 10000));

    int stepAtQuestion = -1;
    bool stepsRanWhileAsked = false;
    onMessage = [&] {
        stepAtQuestion = work.Step();
        bed::Pump(100); // no step may run while the question is up
        stepsRanWhileAsked = work.Step() != stepAtQuestion;
        return IDNO;
    };
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    const ULONGLONG answered = GetTickCount64();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, bed::Ansi("アンインストールを中止しますか?"));
    EXPECT_EQ(messages[0].style & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(messages[0].style & MB_DEFMASK, static_cast<UINT>(MB_DEFBUTTON2));
    EXPECT_FALSE(stepsRanWhileAsked);

    ASSERT_TRUE(bed::WaitFor([&] { return work.Step() != stepAtQuestion; }, 5000));
    EXPECT_GE(GetTickCount64() - answered, 180u);
    EXPECT_EQ(work.Step(), stepAtQuestion + 1);
    EXPECT_EQ(work.Result(), -1);

    SCOPED_TRACE("Yes ends the loading with 0");
    onMessage = [] { return IDYES; };
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(work.Result(), 0);
    const int stopped = work.Step();
    bed::Pump(300);
    EXPECT_EQ(work.Step(), stopped);
}

TEST_F(LoadingDialogTest, TheSpoolerRunsAgainWhenTheLoadingEndsWhileItIsStopped)
{
    PutScript();
    Open();
    for (int i = 0; i < 3; ++i) // up to the spooler stopped
        Tick();
    ASSERT_EQ(work.Step(), 3);
    ASSERT_EQ(bed::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
    onMessage = [] { return IDYES; };
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(work.Result(), 0);
    EXPECT_EQ(bed::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING)) << "after Cancel answered Yes";

    SCOPED_TRACE("the dialog destroyed before the spooler's start");
    UninstallDatabase secondDatabase;
    RemovalEngine secondEngine{secondDatabase, EngineSettings(SwitchList("prnuninst.exe"))};
    CLoadingDlg second{secondEngine.Load()};
    HWND other = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LOADING), nullptr,
                                    CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&second));
    ASSERT_NE(other, nullptr);
    for (int i = 0; i < 4; ++i) // up to the one-tick wait
        SendMessageA(other, WM_TIMER, IDT_LOADING, 0);
    ASSERT_EQ(secondEngine.Load().Step(), 3);
    ASSERT_EQ(bed::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
    DestroyWindow(other);
    EXPECT_EQ(bed::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(secondEngine.Load().Result(), -1);
    StartSpoolerService(); // whatever happened above, the next test finds it running
}
