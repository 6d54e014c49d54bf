#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "res/resource.h"
#include "app/ExtraInfoDlg.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

UninstallProfile Profile(const char* name, ItemList files, bool manufacturer = false)
{
    UninstallProfile p;
    text::CopyWhole(p.Name, name);
    p.Files = std::move(files);
    p.IsManufacturer = manufacturer ? 1 : 0;
    return p;
}

CActivePrinter Printer(const char* name, const char* driver, bool selected)
{
    CActivePrinter p;
    text::CopyWhole(p.PrinterName, name);
    text::CopyWhole(p.DriverName, driver);
    p.IsMakerDriver = 1;
    p.Skip = selected ? 0 : 1;
    return p;
}

class ExtraInfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        database.Profiles = {
            Profile("QUORVEL Lumenta 2400", {"L2400.DLL", "SHARED.DLL"}),
            Profile("QUORVEL", {"QMFG.DLL"}, true),
            Profile("QUORVEL Stays 100", {"SHARED.DLL", "STAY.DLL"}),
            Profile("QUORVEL Gone 1", {"GONE.DLL"}),
        };
        FillBaseWorkList(database, database.BaseWorkList);
    }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
    }
    // Lumenta, Nova (only the maker's profile) and Acme (none) as chosen,
    // and a printer that always stays.
    void Open(bool lumenta, bool nova, bool acme, int selectedCount)
    {
        database.Printers = {Printer("Lum", "QUORVEL Lumenta 2400", lumenta), Printer("Nova", "QUORVEL Nova 9", nova),
                             Printer("Acme", "Acme Jet 5", acme), Printer("Stays", "QUORVEL Stays 100", false)};
        // Last, another maker's printer, which the inventory leaves with Skip 0.
        CActivePrinter other = Printer("Zeta", "Zeta Laser 1", true);
        other.Foreign = 1;
        database.Printers.push_back(other);
        // A dialog object lives for one run of its dialog.
        CExtraInfoDlg& dialog = dialogs.emplace_back();
        dialog.SetDatabase(&database);
        dialog.SetSelectedCount(selectedCount);
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_EXTRAINFO), nullptr,
                                    CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&dialog));
        ASSERT_NE(window, nullptr);
        list = GetDlgItem(window, IDC_EXTRA_LIST);
    }
    void Click(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void ProfileOnly(bool on)
    {
        SendDlgItemMessageA(window, IDC_PROFILE_ONLY, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Click(IDC_PROFILE_ONLY);
    }
    std::string Title() const
    {
        char title[300] = {};
        GetWindowTextA(window, title, sizeof title);
        return title;
    }
    Texts Headers() const
    {
        HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        Texts out;
        const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[64] = {};
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT;
            column.pszText = text;
            column.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
            out.emplace_back(text);
        }
        return out;
    }
    Rows Shown() const
    {
        Rows rows;
        const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        const int columns = static_cast<int>(Headers().size());
        for (int r = 0; r < count; ++r) {
            rows.emplace_back();
            for (int c = 0; c < (columns ? columns : 1); ++c) {
                char text[300] = {};
                LVITEMA item{};
                item.iSubItem = c;
                item.pszText = text;
                item.cchTextMax = sizeof text;
                SendMessageA(list, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
                rows.back().emplace_back(text);
            }
        }
        return rows;
    }

    UninstallDatabase database;
    std::list<CExtraInfoDlg> dialogs;
    HWND window = nullptr;
    HWND list = nullptr;
};

} // namespace

TEST(ItemFields, SplitAtPlainCommas)
{
    EXPECT_EQ(SplitItemFields("win.ini,Devices,QL2400,extra", 3, false), (Texts{"win.ini", "Devices", "QL2400"}));
    EXPECT_EQ(SplitItemFields("Display,run.exe,extra", 2, false), (Texts{"Display", "run.exe"}));
    EXPECT_EQ(SplitItemFields("hook.dll,Export,More", 2, true), (Texts{"hook.dll", "Export,More"}));
    EXPECT_EQ(SplitItemFields("whole,item", 1, true), (Texts{"whole,item"}));
    EXPECT_EQ(SplitItemFields("\"a,b\",c", 2, true), (Texts{"\"a", "b\",c"})) << "quotes protect nothing";
    EXPECT_EQ(SplitItemFields("only", 3, false), (Texts{"only", "", ""}));
    EXPECT_EQ(SplitItemFields("a,,c", 3, true), (Texts{"a", "", "c"}));
}

TEST_F(ExtraInfoTest, SeveralPrintersShowWhatTheRemovalTakesForTheSelectionOfTheMoment)
{
    Open(true, true, false, 2);
    EXPECT_EQ(Title(), "Extra Info - Multiple Printers");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_PROFILE_ONLY)));
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_CAT_DELETEINI), BST_CHECKED);
    EXPECT_EQ(Headers(), (Texts{"file", "section", "entry"}));
    EXPECT_EQ(Shown(), (Rows{{"(empty)", "", ""}}));

    Click(IDC_CAT_FILES);
    EXPECT_EQ(Headers(), (Texts{"file"}));
    // What the staying printer's profile names stays.
    EXPECT_EQ(Shown(), (Rows{{"GONE.DLL"}, {"L2400.DLL"}, {"QMFG.DLL"}}));

    // With two printers the box means nothing, even when it is checked.
    ProfileOnly(true);
    EXPECT_EQ(Title(), "Extra Info - Multiple Printers");

    // Every refresh takes the selection as it is then.
    std::next(database.Printers.begin(), 3)->Skip = 0; // "Stays"
    Click(IDC_CAT_FILES);
    EXPECT_EQ(Shown(), (Rows{{"GONE.DLL"}, {"L2400.DLL"}, {"QMFG.DLL"}, {"SHARED.DLL"}, {"STAY.DLL"}}));
}

TEST_F(ExtraInfoTest, OnePrinterShowsItsOwnProfileOrItsMakersOrSaysItHasNone)
{
    Open(true, false, false, 1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_PROFILE_ONLY)));
    Click(IDC_CAT_FILES);
    EXPECT_EQ(Shown(), (Rows{{"GONE.DLL"}, {"L2400.DLL"}}));
    ProfileOnly(true);
    EXPECT_EQ(Title(), "Extra Info - Printer: QUORVEL Lumenta 2400");
    EXPECT_EQ(Shown(), (Rows{{"L2400.DLL"}, {"SHARED.DLL"}}));
    Click(IDC_CAT_MONITORS);
    EXPECT_EQ(Shown(), (Rows{{"(empty)"}}));
    ProfileOnly(false);
    EXPECT_EQ(Title(), "Extra Info - Multiple Printers");
    DestroyWindow(window);

    Open(false, true, false, 1);
    ProfileOnly(true);
    Click(IDC_CAT_FILES);
    EXPECT_EQ(Title(), "Extra Info - Mfg: QUORVEL");
    EXPECT_EQ(Shown(), (Rows{{"QMFG.DLL"}}));
    DestroyWindow(window);

    Open(false, false, true, 1);
    ProfileOnly(true);
    Click(IDC_CAT_FILES);
    EXPECT_EQ(Title(), "Extra Info - EMPTY AND UNKNOWN SETTINGS!!!");
    // The merged profile: only what no printer keeps.
    EXPECT_EQ(Shown(), (Rows{{"GONE.DLL"}}));
}

TEST_F(ExtraInfoTest, EachCategoryListsItsOwnItemsInItsOwnColumns)
{
    UninstallProfile fields;
    text::CopyWhole(fields.Name, "QUORVEL Lumenta 2400");
    struct Case {
        int radio;
        ItemList UninstallProfile::* items;
        const char* tag;
        Texts headers;
        Texts cells;
    };
    const Case cases[] = {
        {IDC_CAT_DELETEINI, &UninstallProfile::DeleteIni, "ini", {"file", "section", "entry"}, {"ini", "b", "c"}},
        {IDC_CAT_DELETELOADRUN, &UninstallProfile::DeleteLoadRun, "run", {"Display", "File Name"}, {"run", "b"}},
        {IDC_CAT_DRIVERS, &UninstallProfile::Drivers, "drv", {"driver"}, {"drv,b,c,d,e"}},
        {IDC_CAT_FILES, &UninstallProfile::Files, "file", {"file"}, {"file,b,c,d,e"}},
        {IDC_CAT_HOOKS, &UninstallProfile::Hooks, "hook", {"file", "export"}, {"hook", "b,c,d,e"}},
        {IDC_CAT_MONITORS, &UninstallProfile::Monitors, "mon", {"Monitor Name"}, {"mon,b,c,d,e"}},
        {IDC_CAT_REGISTRY, &UninstallProfile::RegistryKeys, "reg", {"Base Key", "Sub Key", "Value Name", "Deltree"},
         {"reg", "b", "c", "d,e"}},
        {IDC_CAT_PRINTPROCESSORS, &UninstallProfile::PrintProcessors, "proc", {"Print Processor Name"},
         {"proc,b,c,d,e"}},
        {IDC_CAT_SERVICES, &UninstallProfile::Services, "svc", {"NT Service Name"}, {"svc,b,c,d,e"}},
        {IDC_CAT_SHORTCUTS, &UninstallProfile::Shortcuts, "lnk",
         {"Program Group", "Shortcut Description", "Special Location"}, {"lnk", "b", "c,d,e"}},
        {IDC_CAT_UNSELFREGISTER, &UninstallProfile::UnSelfRegister, "reg32", {"FileName", "Function Export"},
         {"reg32", "b,c,d,e"}},
    };
    for (const Case& c : cases)
        (fields.*c.items) = {std::string(c.tag) + ",b,c,d,e"};
    database.Profiles = {fields};
    Open(true, false, false, 1);
    ProfileOnly(true);
    ASSERT_EQ(Title(), "Extra Info - Printer: QUORVEL Lumenta 2400");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        Click(c.radio);
        EXPECT_EQ(Headers(), c.headers);
        EXPECT_EQ(Shown(), (Rows{c.cells}));
    }
    // A notification other than a click changes nothing.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_CAT_FILES, BN_SETFOCUS), 0);
    EXPECT_EQ(Headers(), cases[std::size(cases) - 1].headers);
}

TEST_F(ExtraInfoTest, DirectoriesAreTheMachinesWhateverTheProfiles)
{
    auto withBackslash = [](std::string s) { return s.empty() || s.back() == '\\' ? s : s + '\\'; };
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    const std::string windows = withBackslash(path);
    GetSystemDirectoryA(path, MAX_PATH);
    const std::string system = withBackslash(path);
    DWORD size = MAX_PATH;
    std::string color;
    if (HMODULE mscms = LoadLibraryA("mscms.dll")) {
        using Fn = BOOL(WINAPI*)(PCSTR, PSTR, PDWORD);
        auto get = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(mscms, "GetColorDirectoryA")));
        if (get && get(nullptr, path, &size))
            color = withBackslash(path);
        FreeLibrary(mscms);
    }
    ASSERT_FALSE(color.empty());
    DWORD needed = 0;
    GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), MAX_PATH, &needed);
    const std::string processors = withBackslash(path);
    GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), MAX_PATH, &needed);
    const std::string drivers = withBackslash(path);
    GetPrinterDriverDirectoryA(nullptr, const_cast<char*>("Windows 4.0"), 1, reinterpret_cast<BYTE*>(path), MAX_PATH,
                               &needed);
    const std::string drivers40 = withBackslash(path);

    Open(true, false, false, 1);
    Click(IDC_CAT_DIRECTORIES);
    EXPECT_EQ(Headers(), (Texts{"Dir Variable", "Dir Location"}));
    EXPECT_EQ(Shown(), (Rows{{"WINDIR", windows},
                             {"SYSDIR", system},
                             {"COLORDIR", color},
                             {"PRINTPROCDIR", processors},
                             {"PRINTPROCDIR_W40", processors},
                             {"PRINTDRIVERDIR", drivers},
                             {"PRINTDRIVERDIR_W40", drivers40}}));
}
