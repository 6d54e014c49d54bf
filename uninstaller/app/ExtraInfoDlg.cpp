#include "ExtraInfoDlg.h"

#include <commctrl.h>

#include <cstdio>
#include <iterator>

#include "DialogFont.h"
#include "WindowPlacement.h"
#include "../common/Handles.h"
#include "../res/resource.h"
#include "../script/FileSpec.h"

namespace {

struct Category {
    int radioId;
    // None for the directories, which come from the machine, not a profile.
    ItemList UninstallProfile::* list;
    const char* headers[4];
    int columns;
    bool keepRest;
};

// In the order of the category numbers 1 to 12.
constexpr Category kCategories[] = {
    {IDC_CAT_DELETEINI, &UninstallProfile::DeleteIni, {"file", "section", "entry"}, 3, false},
    {IDC_CAT_DELETELOADRUN, &UninstallProfile::DeleteLoadRun, {"Display", "File Name"}, 2, false},
    {IDC_CAT_DRIVERS, &UninstallProfile::Drivers, {"driver"}, 1, true},
    {IDC_CAT_FILES, &UninstallProfile::Files, {"file"}, 1, true},
    {IDC_CAT_HOOKS, &UninstallProfile::Hooks, {"file", "export"}, 2, true},
    {IDC_CAT_MONITORS, &UninstallProfile::Monitors, {"Monitor Name"}, 1, true},
    {IDC_CAT_REGISTRY, &UninstallProfile::RegistryKeys, {"Base Key", "Sub Key", "Value Name", "Deltree"}, 4, true},
    {IDC_CAT_PRINTPROCESSORS, &UninstallProfile::PrintProcessors, {"Print Processor Name"}, 1, true},
    {IDC_CAT_SERVICES, &UninstallProfile::Services, {"NT Service Name"}, 1, true},
    {IDC_CAT_SHORTCUTS, &UninstallProfile::Shortcuts, {"Program Group", "Shortcut Description", "Special Location"}, 3,
     true},
    {IDC_CAT_UNSELFREGISTER, &UninstallProfile::UnSelfRegister, {"FileName", "Function Export"}, 2, true},
    {IDC_CAT_DIRECTORIES, nullptr, {"Dir Variable", "Dir Location"}, 2, true},
};
constexpr int kCategoryCount = static_cast<int>(std::size(kCategories));

struct Directory {
    const char* name;
    int location;
};

constexpr Directory kDirectories[] = {
    {"WINDIR", location::WindowsDirectory},
    {"SYSDIR", location::SystemDirectory},
    {"COLORDIR", location::ColorDirectory},
    {"PRINTPROCDIR", location::PrintProcessorDirectory},
    {"PRINTPROCDIR_W40", location::PrintProcessorDirectoryAlias},
    {"PRINTDRIVERDIR", location::PrinterDriverDirectory},
    {"PRINTDRIVERDIR_W40", location::PrinterDriverDirectoryWin40},
};

std::string DirectoryOf(int locationId)
{
    FileSpec spec;
    spec.Resolve(locationId);
    return std::string(spec.drive) + spec.directory;
}

} // namespace

std::vector<std::string> SplitItemFields(std::string_view item, int count, bool keepRest)
{
    std::vector<std::string> fields;
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        const std::size_t comma = (last && keepRest) ? std::string_view::npos : item.find(',');
        fields.emplace_back(item.substr(0, comma));
        item = comma == std::string_view::npos ? std::string_view{} : item.substr(comma + 1);
    }
    return fields;
}

INT_PTR CExtraInfoDlg::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    ApplyDialogFont(window, message);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wParam);
    default:
        return FALSE;
    }
}

BOOL CExtraInfoDlg::OnInitDialog()
{
    list_ = GetDlgItem(hwnd, IDC_EXTRA_LIST);
    CheckRadioButton(hwnd, IDC_CAT_DELETEINI, IDC_CAT_DIRECTORIES, IDC_CAT_DELETEINI);
    Refresh();
    EnableWindow(GetDlgItem(hwnd, IDC_PROFILE_ONLY), selectedCount_ == 1 ? TRUE : FALSE);
    CentreOnDesktop(hwnd);
    return TRUE;
}

INT_PTR CExtraInfoDlg::OnCommand(WPARAM wParam)
{
    if (IsCloseCommand(wParam))
        return EndOnCloseCommand(wParam);
    const int id = LOWORD(wParam);
    if (id == IDC_PROFILE_ONLY) {
        profileOnly_ = IsDlgButtonChecked(hwnd, IDC_PROFILE_ONLY) == BST_CHECKED && selectedCount_ == 1 ? 1 : 0;
        Refresh();
        return TRUE;
    }
    for (int i = 0; i < kCategoryCount; ++i) {
        if (kCategories[i].radioId != id)
            continue;
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        category_ = i + 1;
        Refresh();
        return TRUE;
    }
    return FALSE;
}

const UninstallProfile& CExtraInfoDlg::ChooseProfile(UninstallProfile& found, char (&title)[text::kMaxText + 64])
{
    if (!database_) {
        std::snprintf(title, sizeof title, "Extra Info - Multiple Printers");
        return none_;
    }
    if (!profileOnly_) {
        std::snprintf(title, sizeof title, "Extra Info - Multiple Printers");
        return database_->Merged;
    }
    // The chosen printer: another maker's printer, or one already removed,
    // may have Skip 0 as well but was never on the list to be chosen.
    const char* driver = "";
    for (const CActivePrinter& printer : database_->Printers) {
        if (printer.Skip == 0 && printer.IsOffered())
            driver = printer.DriverName;
    }
    if (FindProfile(*database_, found, driver)) {
        std::snprintf(title, sizeof title, "Extra Info - Printer: %s", found.Name);
        return found;
    }
    if (FindManufacturerProfile(*database_, found, driver)) {
        std::snprintf(title, sizeof title, "Extra Info - Mfg: %s", found.Name);
        return found;
    }
    std::snprintf(title, sizeof title, "Extra Info - EMPTY AND UNKNOWN SETTINGS!!!");
    return database_->Merged;
}

void CExtraInfoDlg::InsertColumns(const char* const* headers, int count)
{
    for (int i = 0; i < count; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = 200;
        column.pszText = const_cast<char*>(headers[i]);
        column.iSubItem = i;
        if (SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) >= 0)
            ++columns_;
    }
}

void CExtraInfoDlg::AddRow(int row, const std::vector<std::string>& fields)
{
    if (fields.empty())
        return;
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(fields[0].c_str());
    const int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0)
        return;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        item.iItem = index;
        item.iSubItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(fields[i].c_str());
        SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CExtraInfoDlg::Refresh()
{
    WaitCursor wait;
    while (columns_ > 0 && SendMessageA(list_, LVM_DELETECOLUMN, 0, 0))
        --columns_;
    if (database_)
        BuildDatabase(*database_);
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);

    UninstallProfile found;
    char title[text::kMaxText + 64];
    const UninstallProfile& shown = ChooseProfile(found, title);
    SetWindowTextA(hwnd, title);

    if (category_ < 1 || category_ > kCategoryCount) {
        AddRow(0, {"(Huh? - what button did YOU push?!?!)"});
    } else if (const Category& category = kCategories[category_ - 1]; !category.list) {
        InsertColumns(category.headers, category.columns);
        int row = 0;
        for (const Directory& directory : kDirectories)
            AddRow(row++, {directory.name, DirectoryOf(directory.location)});
    } else {
        InsertColumns(category.headers, category.columns);
        const ItemList& items = shown.*category.list;
        int row = 0;
        for (const std::string& text : items)
            AddRow(row++, SplitItemFields(text, category.columns, category.keepRest));
        if (items.empty())
            AddRow(0, {"(empty)"});
    }

    for (int i = 0; i < columns_; ++i)
        SendMessageA(list_, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE_USEHEADER);
}
