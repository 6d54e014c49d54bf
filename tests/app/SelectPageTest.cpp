#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "app/Messages.h"
#include "app/SelectPage.h"
#include "machine/Machine.h"
#include "res/resource.h"
#include "support/WineBed.h"

namespace {

// What the page told the window it sits in.
struct Told {
    UINT message;
    WPARAM wParam;
};
std::vector<Told> g_told;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == UM_ENABLEUNINSTALL || message == UM_STARTREMOVAL)
        g_told.push_back({message, wParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateParent()
{
    static const ATOM registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SelectPageTestParent";
        return RegisterClassA(&wc);
    }();
    if (!registered)
        return nullptr;
    return CreateWindowA("SelectPageTestParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

CActivePrinter Record(const char* name, const char* server = "", const char* masked = "", bool isDefault = false,
                      bool maker = true)
{
    CActivePrinter p;
    text::CopyWhole(p.PrinterName, name);
    text::CopyWhole(p.DriverName, std::string("QUORVEL ") + name);
    text::CopyWhole(p.ServerName, server);
    text::CopyWhole(p.MaskedName, masked);
    p.IsDefault = isDefault ? 1 : 0;
    p.IsMakerDriver = maker ? 1 : 0;
    p.Skip = 1;
    return p;
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

void SetSelected(HWND list, int row, bool selected)
{
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

DWORD View(HWND list) { return static_cast<DWORD>(GetWindowLongPtrA(list, GWL_STYLE)) & LVS_TYPEMASK; }

UINT MenuId(HMENU menu, int position) { return GetMenuItemID(menu, position); }
bool Grayed(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
bool Checked(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

constexpr char kDiagnosticKey[] = "SOFTWARE\\QUORVEL\\PRUNE64_Q";

// The current user's switch for the diagnostic view, set for the life of
// the object and taken away after, with the maker's key if it made it.
class DiagnosticSetting {
public:
    explicit DiagnosticSetting(const char* value)
    {
        HKEY key = nullptr;
        makerKeyMade_ = RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\QUORVEL", 0, KEY_READ, &key) != ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kDiagnosticKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>(std::strlen(value) + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~DiagnosticSetting()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kDiagnosticKey);
        if (makerKeyMade_)
            RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\QUORVEL");
    }
    DiagnosticSetting(const DiagnosticSetting&) = delete;
    DiagnosticSetting& operator=(const DiagnosticSetting&) = delete;

private:
    bool makerKeyMade_ = false;
};

// A page in a plain window, on records put into the database directly.
class SelectPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "the test bed runs with code page 932";
        HKEY key = nullptr;
        ASSERT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kDiagnosticKey, 0, KEY_READ, &key), ERROR_SUCCESS)
            << "the diagnostic view is off unless a test turns it on";
        g_told.clear();
        parent = CreateParent();
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override
    {
        for (HWND page : pages)
            DestroyWindow(page);
        DestroyWindow(parent);
    }
    HWND Open(CSelectDlg& page)
    {
        page.SetDatabase(&database);
        HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), "IDD_SELECT", parent, CDlg::StaticDlgProc,
                                         reinterpret_cast<LPARAM>(&page));
        EXPECT_NE(window, nullptr);
        pages.push_back(window);
        return GetDlgItem(window, IDC_PRINTER_LIST);
    }
    bool ToldLast(UINT message, WPARAM wParam) const
    {
        return !g_told.empty() && g_told.back().message == message && g_told.back().wParam == wParam;
    }

    UninstallDatabase database;
    HWND parent = nullptr;
    std::vector<HWND> pages;
};

} // namespace

TEST_F(SelectPageTest, RowsShowEachOfferedRecordWithItsStateIcon)
{
    CActivePrinter foreign = Record("Other");
    foreign.Foreign = 1;
    database.Printers = {Record("Net Default", "\\\\PRINTSRV", "Lumenta Real", true), foreign,
                         Record("Masked", "", "Lumenta X"), Record("Network", "\\\\SRV2"),
                         Record("Plain", "", "", false, false)};
    CSelectDlg page;
    HWND list = Open(page);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(ItemCount(list), 1);
    EXPECT_EQ(bed::ListItemText(list, 0, 0), bed::Ansi("(ローディング中)"));

    const char* headers[] = {"名前", "ドライバ", "ロケーション", "既定値 (デフォルト)", "Printhaven",
                             "マスクされたプリンタ名"};
    for (int i = 0; i < 6; ++i) {
        char header[128] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = header;
        column.cchTextMax = sizeof header;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(std::string(header), bed::Ansi(headers[i])) << "column " << i;
    }

    page.Refill();
    const std::string yes = bed::Ansi("はい"), no = bed::Ansi("いいえ");
    const std::string local = bed::Ansi("ローカル"), none = bed::Ansi("なし (該当外)");
    struct Row {
        std::vector<std::string> cells;
        int icon;
        int position;
    };
    // The foreign queue is not listed; the others keep the inventory's order
    // and carry their position in it.
    const Row expected[] = {
        {{"Net Default", "QUORVEL Net Default", "\\\\PRINTSRV", yes, yes, "Lumenta Real"}, 7, 0},
        {{"Masked", "QUORVEL Masked", local, no, yes, "Lumenta X"}, 4, 2},
        {{"Network", "QUORVEL Network", "\\\\SRV2", no, yes, none}, 2, 3},
        {{"Plain", "QUORVEL Plain", local, no, no, none}, 0, 4},
    };
    ASSERT_EQ(ItemCount(list), 4);
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE(expected[r].cells[0]);
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(bed::ListItemText(list, r, c), expected[r].cells[c]) << "column " << c;
        LVITEMA item{};
        item.mask = LVIF_IMAGE | LVIF_PARAM;
        item.iItem = r;
        ASSERT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        EXPECT_EQ(item.iImage, expected[r].icon);
        EXPECT_EQ(item.lParam, expected[r].position);
    }
    HIMAGELIST small = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    HIMAGELIST large = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(small, &cx, &cy);
    EXPECT_EQ(cx, 18);
    ImageList_GetIconSize(large, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_GE(ImageList_GetImageCount(small), 8);
    EXPECT_GE(ImageList_GetImageCount(large), 8);
}

TEST_F(SelectPageTest, SelectingEnablesUninstallAndARefillDisablesItAndReturnsToList)
{
    database.Printers = {Record("Lumenta A"), Record("Lumenta B")};
    CSelectDlg page;
    HWND list = Open(page);
    page.Refill();
    EXPECT_TRUE(ToldLast(UM_ENABLEUNINSTALL, 0));
    EXPECT_EQ(View(list), static_cast<DWORD>(LVS_LIST));
    EXPECT_TRUE(SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_FOCUSED) & LVIS_FOCUSED);

    SetSelected(list, 1, true);
    EXPECT_TRUE(ToldLast(UM_ENABLEUNINSTALL, 1));
    g_told.clear();
    SetSelected(list, 1, false);
    EXPECT_TRUE(g_told.empty()) << "deselecting leaves the button as it is";

    SendMessageA(page.hwnd, WM_COMMAND, IDM_DETAILS, 0);
    EXPECT_EQ(View(list), static_cast<DWORD>(LVS_REPORT));
    HMENU menu = page.UpdateContextMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(Checked(menu, IDM_DETAILS));
    EXPECT_FALSE(Checked(menu, IDM_LIST));

    SendMessageA(page.hwnd, WM_COMMAND, IDM_SMALL_ICONS, 0);
    EXPECT_EQ(View(list), static_cast<DWORD>(LVS_SMALLICON));
    SendMessageA(page.hwnd, WM_COMMAND, IDM_SELECT_ALL, 0);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
    EXPECT_TRUE(ToldLast(UM_ENABLEUNINSTALL, 1));

    page.Refill();
    EXPECT_TRUE(ToldLast(UM_ENABLEUNINSTALL, 0));
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(View(list), static_cast<DWORD>(LVS_LIST));
    menu = page.UpdateContextMenu();
    EXPECT_TRUE(Checked(menu, IDM_LIST));
    EXPECT_FALSE(Checked(menu, IDM_DETAILS));
    EXPECT_FALSE(Checked(menu, IDM_SMALL_ICONS));
    EXPECT_FALSE(Checked(menu, IDM_LARGE_ICONS));
}

TEST_F(SelectPageTest, ContextMenuOffersOtherDetailsOnlyWithANonEmptyDiagnosticValue)
{
    database.Printers = {Record("Lumenta A")};
    {
        CSelectDlg page;
        HWND list = Open(page);
        page.Refill();
        HMENU menu = page.UpdateContextMenu();
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(GetMenuItemCount(menu), 8);
        EXPECT_EQ(MenuId(menu, 7), static_cast<UINT>(IDM_SELECT_ALL));
        EXPECT_TRUE(Grayed(menu, IDM_REMOVE));
        EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, GMDI_USEDISABLED), static_cast<UINT>(IDM_REMOVE));
        SetSelected(list, 0, true);
        EXPECT_FALSE(Grayed(page.UpdateContextMenu(), IDM_REMOVE));

        // Decided at the first right click, for the life of the page.
        DiagnosticSetting later("1");
        EXPECT_EQ(GetMenuItemCount(page.UpdateContextMenu()), 8);
    }
    {
        DiagnosticSetting empty("");
        CSelectDlg page;
        Open(page);
        page.Refill();
        EXPECT_EQ(GetMenuItemCount(page.UpdateContextMenu()), 8);
    }
    {
        DiagnosticSetting on("1");
        CSelectDlg page;
        HWND list = Open(page);
        page.Refill();
        HMENU menu = page.UpdateContextMenu();
        ASSERT_EQ(GetMenuItemCount(menu), 10);
        EXPECT_EQ(MenuId(menu, 9), static_cast<UINT>(IDM_OTHER_DETAILS));
        EXPECT_TRUE(Grayed(menu, IDM_REMOVE));
        EXPECT_TRUE(Grayed(menu, IDM_OTHER_DETAILS));
        SetSelected(list, 0, true);
        menu = page.UpdateContextMenu();
        EXPECT_FALSE(Grayed(menu, IDM_REMOVE));
        EXPECT_FALSE(Grayed(menu, IDM_OTHER_DETAILS));
    }
}

TEST_F(SelectPageTest, RemoveCommitsEachRowToItsOwnPrinterThenAsksForTheRemoval)
{
    CActivePrinter gone = Record("Gone");
    gone.Removed = 1;
    gone.Skip = 0;
    database.Printers = {Record("Alpha"), Record("beta"), Record("BETA"), Record("Delta"), gone};
    auto record = [&](int i) -> CActivePrinter& { return *std::next(database.Printers.begin(), i); };
    // "BETA" and "Delta" start as if chosen earlier: a commit chooses afresh.
    record(2).Skip = 0;
    record(3).Skip = 0;

    CSelectDlg page;
    HWND list = Open(page);
    page.Refill();
    ASSERT_EQ(ItemCount(list), 4);
    SetSelected(list, 0, true); // Alpha
    SetSelected(list, 1, true); // beta
    g_told.clear();
    SendMessageA(page.hwnd, WM_COMMAND, IDM_REMOVE, 0);

    EXPECT_EQ(record(0).Skip, 0u) << "Alpha, selected";
    EXPECT_EQ(record(1).Skip, 0u) << "beta, selected";
    EXPECT_EQ(record(2).Skip, 1u) << "BETA, not selected, stays: a name equal but for letter case is another printer";
    EXPECT_EQ(record(3).Skip, 1u) << "Delta, not selected";
    EXPECT_EQ(record(4).Skip, 0u) << "a record off the list keeps its flag";
    EXPECT_EQ(page.SelectedCount(), 2);

    EXPECT_TRUE(g_told.empty()) << "the removal is posted, not sent";
    bed::Pump(50);
    EXPECT_TRUE(ToldLast(UM_STARTREMOVAL, 0));

    // Only the row of "BETA" chosen: "beta", earlier in the inventory, stays.
    for (int row = 0; row < 4; ++row)
        SetSelected(list, row, row == 2);
    page.Commit();
    EXPECT_EQ(record(1).Skip, 1u);
    EXPECT_EQ(record(2).Skip, 0u);
    EXPECT_EQ(page.SelectedCount(), 1);
    bed::Pump(50);
}

namespace {

struct ExtraInfoSeen {
    bool found = false;
    std::string title;
    bool profileOnlyEnabled = false;
};
ExtraInfoSeen* g_extraInfo = nullptr;

void CALLBACK ReadExtraInfoAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = GetActiveWindow();
    if (!box || !GetDlgItem(box, IDC_EXTRA_LIST))
        return;
    KillTimer(nullptr, timer);
    char title[128] = {};
    GetWindowTextA(box, title, sizeof title);
    g_extraInfo->found = true;
    g_extraInfo->title = title;
    g_extraInfo->profileOnlyEnabled = IsWindowEnabled(GetDlgItem(box, IDC_PROFILE_ONLY)) != FALSE;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST_F(SelectPageTest, OtherDetailsCommitsAndOpensExtraInfoWithTheSelection)
{
    DiagnosticSetting on("1");
    database.Printers = {Record("Lumenta A"), Record("Lumenta B")};
    CSelectDlg page;
    HWND list = Open(page);
    page.Refill();
    SetSelected(list, 1, true);

    ExtraInfoSeen seen;
    g_extraInfo = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, ReadExtraInfoAndClose);
    SendMessageA(page.hwnd, WM_COMMAND, IDM_OTHER_DETAILS, 0);
    KillTimer(nullptr, timer);

    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, "Extra Info - Multiple Printers");
    EXPECT_TRUE(seen.profileOnlyEnabled) << "one printer selected";
    EXPECT_EQ(page.SelectedCount(), 1);
    // The dialog built the database from the committed selection.
    EXPECT_EQ(database.Printers.front().ToRemove, 0u);
    EXPECT_EQ(database.Printers.back().ToRemove, 1u);
}

TEST(SelectPageOnMainWindow, EmptyInventoryLeavesNoRowAndUninstallEnabled)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterMainWindowClass(instance));
    CLoadingDlg::SetTickPeriods(10, 200);
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(),
                                  "[UnPrinterDrivers]\r\n\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"));
    ASSERT_TRUE(machine.InstallPrinter({"Plain", "Acme LaserWriter 9", false}));

    MainDlg main(SwitchList("prnuninst.exe"));
    HWND window = CreateDialogParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc,
                                     reinterpret_cast<LPARAM>(&main));
    ASSERT_NE(window, nullptr);
    bed::Pump(50);
    EXPECT_EQ(ItemCount(GetDlgItem(main.SelectPage().hwnd, IDC_PRINTER_LIST)), 0) << "not even the placeholder";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_BTN_UNINSTALL)));
    DestroyWindow(window);
    CLoadingDlg::SetTickPeriods(300, 200);
}
