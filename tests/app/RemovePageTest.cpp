#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/RemovePage.h"
#include "common/Journal.h"
#include "engine/MaskingTool.h"
#include "engine/RemovalEngine.h"
#include "res/resource.h"
#include "script/MessageBox.h"
#include "door/SpoolerService.h"
#include "support/WineBed.h"
#include "support/VersionRecord.h"

namespace {

// The removal page's parent stands in for the main window: it has the
// Uninstall button and counts the messages the page posts to it.
int removalDoneCount = 0;
std::string hostMessages;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == UM_REMOVALDONE) {
        ++removalDoneCount;
        hostMessages += "done;";
        return 0;
    }
    if (message == WM_CLOSE) {
        hostMessages += "close;";
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// An engine on the given platform.
EngineSettings On(const OSVERSIONINFOA& version)
{
    EngineSettings settings;
    settings.Platform = PlatformKind(&version);
    return settings;
}

UninstallProfile DriverProfile(const char* driver, ItemList files)
{
    UninstallProfile p;
    text::CopyWhole(p.Name, driver);
    p.Drivers = {driver};
    p.Files = std::move(files);
    return p;
}

CActivePrinter Chosen(const char* name, const char* driver)
{
    CActivePrinter p;
    text::CopyWhole(p.PrinterName, name);
    text::CopyWhole(p.DriverName, driver);
    p.IsMakerDriver = 1;
    return p;
}

class RemovePageTest : public testing::Test {
protected:
    void SetUp() override
    {
        removalDoneCount = 0;
        hostMessages.clear();
        instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = instance;
        wc.lpszClassName = "RemovePageHost";
        RegisterClassA(&wc);
        host = CreateWindowA("RemovePageHost", "", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr, nullptr, instance,
                             nullptr);
        ASSERT_NE(host, nullptr);
        uninstall = CreateWindowA("BUTTON", "", WS_CHILD | WS_VISIBLE, 0, 300, 80, 20, host,
                                  reinterpret_cast<HMENU>(IDC_BTN_UNINSTALL), instance, nullptr);
        CRemoveDlg::SetWaits(10, 1);
        SetMessageAnswerer([this](const char* text, const char*, UINT) {
            boxes.emplace_back(text);
            return IDNO;
        });
    }
    void TearDown() override
    {
        RemovalSequence::ObserveSteps({});
        CRemoveDlg::SetWaits(200, 100);
        if (host)
            DestroyWindow(host);
        SetMessageAnswerer([](const char* text, const char*, UINT) {
            ADD_FAILURE() << "unexpected message box: " << text;
            return IDCANCEL;
        });
    }
    void Open(CRemoveDlg& page)
    {
        ASSERT_NE(CreateDialogParamA(instance, "IDD_REMOVE", host, CDlg::StaticDlgProc,
                                     reinterpret_cast<LPARAM>(&page)),
                  nullptr);
        ShowWindow(host, SW_SHOW);
        ShowWindow(page.hwnd, SW_SHOW);
    }
    bool RunToEnd(CRemoveDlg& page)
    {
        const int before = removalDoneCount;
        page.Start();
        return bed::WaitFor([&] { return !page.Running() && removalDoneCount > before; }, 30000);
    }

    HINSTANCE instance = nullptr;
    HWND host = nullptr;
    HWND uninstall = nullptr;
    UninstallDatabase database;
    std::vector<std::string> boxes;
};

// Which of the three state images of bitmap 305 the page drew for a row:
// the row's icon control asks for its colours with a DC of ours, white
// underneath, and each drawn pixel is compared with the bitmap's own.
int DrawnStateIcon(HWND page, int iconControl)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ oldCanvas = SelectObject(dc, canvas);
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageA(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, iconControl)));

    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_PROGRESS_STATE), IMAGE_BITMAP, 0, 0, 0));
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ oldStrip = SelectObject(source, strip);
    int found = -1;
    for (int image = 0; image < 3 && found < 0; ++image) {
        bool same = true;
        for (int y = 0; y < 16 && same; ++y) {
            for (int x = 0; x < 16 && same; ++x) {
                COLORREF want = GetPixel(source, image * 16 + x, y);
                if (want == RGB(255, 0, 255))
                    want = RGB(255, 255, 255);
                same = GetPixel(dc, x, y) == want;
            }
        }
        if (same)
            found = image;
    }
    SelectObject(source, oldStrip);
    DeleteDC(source);
    DeleteObject(strip);
    SelectObject(dc, oldCanvas);
    DeleteObject(canvas);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return found;
}

bool LabelIsBold(HWND page, int label)
{
    LOGFONTA font{};
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(page, label, WM_GETFONT, 0, 0));
    return handle && GetObjectA(handle, sizeof font, &font) && font.lfWeight >= FW_BOLD;
}

constexpr int kIcons[] = {IDC_ICON_BUILD,    IDC_ICON_VELT,    IDC_ICON_PRINTER,  IDC_ICON_DRIVER, IDC_ICON_MONITOR,
                          IDC_ICON_PRN_PROC, IDC_ICON_SERVICES, IDC_ICON_REG, IDC_ICON_FILE};
constexpr int kLabels[] = {IDC_ROW_BUILD,    IDC_ROW_VELT,    IDC_ROW_PRINTER, IDC_ROW_DRIVER, IDC_ROW_MONITOR,
                           IDC_ROW_PRN_PROC, IDC_ROW_SERVICES, IDC_ROW_REG,    IDC_ROW_FILE};

} // namespace

TEST_F(RemovePageTest, StartFillsTheFolderListsWithTheNtRowsOnlyOnNt)
{
    const OSVERSIONINFOA xp = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 5, 1);
    RemovalEngine pageEngine{database, On(xp)};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_FALSE(IsWindowEnabled(uninstall)) << "Start disables the main window's Uninstall button";
    const ItemList spooler{"C:\\windows\\system32\\spool\\drivers\\win40\\",
                           "C:\\windows\\system32\\spool\\drivers\\x64\\",
                           "C:\\windows\\system32\\spool\\prtprocs\\x64\\"};
    // This is a 64-bit Windows: its 32-bit system folder is one too.
    const ItemList system{"C:\\windows\\", "C:\\windows\\system32\\", "C:\\windows\\system32\\spool\\drivers\\color\\",
                          "C:\\windows\\syswow64\\"};
    EXPECT_EQ(pageEngine.State().SpoolerFolders, spooler);
    EXPECT_EQ(pageEngine.State().SystemFolders, system);
    EXPECT_EQ(hostMessages, "done;") << "nothing deferred: no close request";
    EXPECT_STREQ(pageEngine.State().DriverDirectory.Compose(), "C:\\windows\\system32\\spool\\drivers\\x64\\");

    // A second removal in the same run appends the same folders again.
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_EQ(pageEngine.State().SpoolerFolders, spooler);
    EXPECT_EQ(pageEngine.State().SystemFolders, system);

    // Windows 9x: no "Windows 4.0" rows, and the spooler step leaves a
    // restart to do; answered no, the main window still closes, before the
    // removal's end is told.
    const OSVERSIONINFOA win98 = bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    RemovalEngine nineEngine{database, On(win98)};
    CRemoveDlg nine{nineEngine.Removal()};
    Open(nine);
    boxes.clear();
    hostMessages.clear();
    ASSERT_TRUE(RunToEnd(nine));
    EXPECT_EQ(nineEngine.State().SpoolerFolders, (ItemList{"C:\\windows\\system32\\spool\\drivers\\x64\\",
                                                     "C:\\windows\\system32\\spool\\prtprocs\\x64\\"}));
    EXPECT_EQ(nineEngine.State().SystemFolders, ItemList(system.begin(), system.end() - 1)) << "Windows 9x has no 64 bits";
    EXPECT_EQ(database.RestartRequired, 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind(bed::Ansi("プリンタのアンインストールはほぼ終わりました。"), 0), 0u) << boxes[0];
    EXPECT_EQ(hostMessages, "close;done;");
}

TEST_F(RemovePageTest, StepsRunInOrderOnceEachAndATickDuringAStepDoesNothing)
{
    RemovalEngine pageEngine{database, {}};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    std::vector<int> steps;
    RemovalSequence::ObserveSteps([&](int step) {
        steps.push_back(step);
        // A message box or a wait of the step would let this tick through.
        SendMessageA(page.hwnd, WM_TIMER, IDT_REMOVAL, 0);
    });
    ASSERT_TRUE(RunToEnd(page));
    std::vector<int> expected;
    for (int step = 0; step <= 17; ++step)
        expected.push_back(step);
    EXPECT_EQ(steps, expected) << "nothing masks printers here: the masking tool is not waited for";
    EXPECT_EQ(pageEngine.Removal().Step(), 17);
    EXPECT_EQ(removalDoneCount, 1);

    // Ticks after the end run nothing again.
    SendMessageA(page.hwnd, WM_TIMER, IDT_REMOVAL, 0);
    EXPECT_EQ(steps.size(), expected.size());
    EXPECT_EQ(removalDoneCount, 1);
}

TEST_F(RemovePageTest, RowsShowDoneCurrentAndPendingStates)
{
    RemovalEngine pageEngine{database, {}};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    for (int row = 0; row < 9; ++row) {
        EXPECT_EQ(DrawnStateIcon(page.hwnd, kIcons[row]), 0) << "before the removal every row is pending";
        EXPECT_FALSE(LabelIsBold(page.hwnd, kLabels[row]));
    }

    std::vector<int> seen;
    bool seenBold[9] = {};
    RemovalSequence::ObserveSteps([&](int step) {
        if (step != 5)
            return;
        // Steps 0 to 4 have each advanced the display: drawn now, rows 0 to
        // 4 are done and row 5 is current.
        for (int row = 0; row < 9; ++row) {
            seen.push_back(DrawnStateIcon(page.hwnd, kIcons[row]));
            seenBold[row] = LabelIsBold(page.hwnd, kLabels[row]);
        }
    });
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_EQ(seen, (std::vector<int>{1, 1, 1, 1, 1, 2, 0, 0, 0}));
    for (int row = 0; row < 9; ++row)
        EXPECT_EQ(seenBold[row], row == 5) << "row " << row;
    for (int row = 0; row < 9; ++row)
        EXPECT_EQ(DrawnStateIcon(page.hwnd, kIcons[row]), 1) << "after the last step every row is done";
}

class MaskingToolTest : public RemovePageTest {
protected:
    void SetUp() override
    {
        RemovePageTest::SetUp();
        CreateDirectoryA(kFolder, nullptr);
        ASSERT_TRUE(CopyFileA((bed::TestDirectory() + "masking_tool.exe").c_str(), kTool, FALSE));
        DeleteFileA(kArgs);
        DeleteFileA(kDone);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM\\OEMPaths", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        // A folder that lacks the tool comes first; the folder is given
        // without its trailing backslash.
        RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\windows"), 11);
        RegSetValueExA(key, "B", 0, REG_SZ, reinterpret_cast<const BYTE*>(kFolder), sizeof kFolder);
        RegCloseKey(key);
        SetEnvironmentVariableA("MASKING_TOOL_MS", "1200");

        database.Profiles.push_back(DriverProfile("QUORVEL Lumenta 2400", {"QL2400.DLL", "VELTRO32.EXE"}));
        FillBaseWorkList(database, database.BaseWorkList);
        AdjustForVeltrope(database, false);
        database.Printers.push_back(Chosen("Lumenta A", "QUORVEL Lumenta 2400"));
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM\\OEMPaths");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL");
        SetEnvironmentVariableA("MASKING_TOOL_MS", nullptr);
        DeleteFileA(kArgs);
        DeleteFileA(kDone);
        DeleteFileA(kTool);
        RemoveDirectoryA(kFolder);
        RemovePageTest::TearDown();
    }
    static bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
    static std::string Content(const char* path)
    {
        char buffer[256] = {};
        if (FILE* f = std::fopen(path, "rb")) {
            std::fread(buffer, 1, sizeof buffer - 1, f);
            std::fclose(f);
        }
        return buffer;
    }

    static constexpr char kFolder[] = "C:\\maskingtool";
    static constexpr char kTool[] = "C:\\maskingtool\\VELTRO32.EXE";
    static constexpr char kArgs[] = "C:\\maskingtool\\VELTRO32.EXE.args";
    static constexpr char kDone[] = "C:\\maskingtool\\VELTRO32.EXE.done";
};

TEST_F(MaskingToolTest, TheToolIsStartedWithSlashDAndWaitedForUntilItEnds)
{
    RemovalEngine pageEngine{database, {}};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    int stepOneTicks = 0;
    bool toolDoneAtStepTwo = false;
    RemovalSequence::ObserveSteps([&](int step) {
        if (step == 1)
            ++stepOneTicks;
        if (step == 2)
            toolDoneAtStepTwo = Exists(kDone);
    });
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_EQ(database.VeltropeSpared, 0u);
    EXPECT_EQ(Content(kArgs), " /d");
    EXPECT_TRUE(toolDoneAtStepTwo) << "step 2 began before the tool had ended";
    EXPECT_GT(stepOneTicks, 5) << "1.2 s of the tool at 10 ms a tick";
}

TEST_F(MaskingToolTest, AToolThatRunsPastTheWaitLimitIsLetGoAndTheRemovalGoesOn)
{
    SetEnvironmentVariableA("MASKING_TOOL_MS", "2500");
    MaskingToolRun::LimitWait(300);
    std::vector<std::string> told;
    journal::SetSink([&](const journal::Entry& e) {
        if (e.Operation == std::string(journal::op::kProgram))
            told.push_back(e.Reason);
    });
    RemovalEngine pageEngine{database, {}};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    bool toolDoneAtStepTwo = true;
    RemovalSequence::ObserveSteps([&](int step) {
        if (step == 2)
            toolDoneAtStepTwo = Exists(kDone);
    });
    const bool ended = RunToEnd(page);
    MaskingToolRun::LimitWait(0);
    journal::Reset();
    // The tool is let go, not ended: it finishes on its own.
    bed::WaitFor([] { return Exists(kDone); }, 5000);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(toolDoneAtStepTwo) << "the removal waited for the tool past the limit";
    EXPECT_TRUE(std::any_of(told.begin(), told.end(), [](const std::string& reason) {
        return reason.rfind("still running after ", 0) == 0;
    })) << "the journal does not say the wait ran out";
}

TEST_F(MaskingToolTest, WhenTheMergedProfileSparesTheToolItIsNeitherStartedNorWaitedFor)
{
    database.Printers.front().Skip = 1;
    RemovalEngine pageEngine{database, {}};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    int stepOneTicks = 0;
    RemovalSequence::ObserveSteps([&](int step) { stepOneTicks += step == 1; });
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_EQ(database.VeltropeSpared, 1u);
    EXPECT_EQ(stepOneTicks, 1);
    EXPECT_FALSE(Exists(kArgs));
}

TEST_F(RemovePageTest, OnNt4TheSpoolerIsStoppedForTheFilesAndRunsAgainAtTheEnd)
{
    ASSERT_EQ(StartSpoolerService(), 1);
    const OSVERSIONINFOA nt4 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 4, 0);
    RemovalEngine pageEngine{database, On(nt4)};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    DWORD duringFiles = 0;
    RemovalSequence::ObserveSteps([&](int step) {
        if (step == 14)
            duringFiles = bed::ServiceState("Spooler");
    });
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_EQ(duringFiles, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(bed::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(RemovePageTest, AStepThatFailsLeavesTheRestOfTheSequenceToRun)
{
    RemovalEngine pageEngine{database, {}};
    CRemoveDlg page{pageEngine.Removal()};
    Open(page);
    std::vector<int> steps;
    RemovalSequence::ObserveSteps([&](int step) {
        steps.push_back(step);
        if (step == 9)
            throw std::runtime_error("a step's own failure");
    });
    std::vector<std::string> failed;
    journal::SetSink([&](const journal::Entry& e) {
        if (e.Result == journal::Outcome::Failed)
            failed.push_back(std::string(e.Item) + ": " + e.Reason);
    });
    ASSERT_TRUE(RunToEnd(page)) << "the removal stopped at the failed step";
    journal::Reset();
    EXPECT_EQ(steps.back(), 17);
    EXPECT_EQ(steps.size(), 18u);
    EXPECT_EQ(failed, (std::vector<std::string>{"step 9: a step's own failure"})) << "the failure went untold";

    // The next removal runs as well: nothing of the failure stays behind.
    steps.clear();
    ASSERT_TRUE(RunToEnd(page));
    EXPECT_EQ(steps.size(), 18u);
}
