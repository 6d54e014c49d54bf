#include "SelectPage.h"

#include <commctrl.h>

#include <iterator>
#include <string>
#include <vector>

#include "../res/resource.h"
#include "ExtraInfoDlg.h"
#include "DialogFont.h"
#include "Messages.h"

namespace {

constexpr UINT kColumnTexts[] = {IDS_COL_NAME,    IDS_COL_DRIVER, IDS_COL_LOCATION,
                                 IDS_COL_DEFAULT, IDS_COL_MAKER,  IDS_COL_MASKED};
constexpr int kColumnWidth = 100;
constexpr int kSmallIconWidth = 18;
constexpr int kLargeIconWidth = 32;
constexpr int kImageGrowth = 10;
constexpr COLORREF kTransparent = RGB(255, 0, 255);

// Its default value, when set, offers the diagnostic view in the context menu.
constexpr char kDiagnosticKey[] = "SOFTWARE\\QUORVEL\\PRUNE64_Q";

// The image of a row: 1 for the default printer, plus 2 for a printer of a
// server, plus 4 for one that carries a masked name.
int StateIcon(const CActivePrinter& printer)
{
    return (printer.IsDefault ? 1 : 0) + (printer.ServerName[0] ? 2 : 0) + (printer.MaskedName[0] ? 4 : 0);
}

bool DiagnosticViewEnabled()
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDiagnosticKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegistryKey key(opened);
    char value[64] = {};
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return false;
    return size > 0 && value[0] != '\0';
}

// Drawing held back while the list is rebuilt and drawn once at the end:
// under Wine, every insertion into a list that redraws costs about 10 ms.
class RedrawPaused {
public:
    explicit RedrawPaused(HWND window) : window_(window) { SendMessageA(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawPaused()
    {
        SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawPaused(const RedrawPaused&) = delete;
    RedrawPaused& operator=(const RedrawPaused&) = delete;

private:
    HWND window_;
};

// The texts a row may show, fetched once per refill rather than per row.
struct RowTexts {
    std::string local, yes, no, none;
};

} // namespace

INT_PTR CSelectDlg::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ApplyDialogFont(window, message);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SHOWWINDOW:
        visible_ = wParam != 0;
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(wParam);
    default:
        return FALSE;
    }
}

BOOL CSelectDlg::OnInitDialog()
{
    texts_.SetModule(Instance());
    list_ = GetDlgItem(hwnd, IDC_PRINTER_LIST);
    InsertColumns();
    InsertPlaceholder();
    LoadImageLists();
    if (list_)
        SetWindowLongPtrA(list_, GWL_STYLE, GetWindowLongPtrA(list_, GWL_STYLE) | LVS_SHOWSELALWAYS);
    texts_.SetItemTextById(hwnd, IDC_SELECT_LABEL, IDS_SELECT_LABEL);
    texts_.SetItemTextById(hwnd, IDC_SELECT_WARNING, IDS_SELECT_WARNING);
    return TRUE;
}

void CSelectDlg::InsertColumns()
{
    columns_ = 0;
    for (int i = 0; i < static_cast<int>(std::size(kColumnTexts)); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumnWidth;
        column.pszText = const_cast<char*>(texts_.GetText(kColumnTexts[i]));
        column.iSubItem = i;
        if (SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) >= 0)
            ++columns_;
    }
}

void CSelectDlg::InsertPlaceholder()
{
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.pszText = const_cast<char*>(texts_.GetText(IDS_LOADING_PLACEHOLDER));
    item.iImage = I_IMAGENONE;
    SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void CSelectDlg::LoadImageLists()
{
    const HINSTANCE instance = Instance();
    smallIcons_.Attach(ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_STATE_SMALL), kSmallIconWidth,
                                            kImageGrowth, kTransparent, IMAGE_BITMAP, 0));
    largeIcons_.Attach(ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_STATE_LARGE), kLargeIconWidth,
                                            kImageGrowth, kTransparent, IMAGE_BITMAP, 0));
    if (!list_)
        return;
    // The page owns the lists: the control must not destroy them with itself.
    SetWindowLongPtrA(list_, GWL_STYLE, GetWindowLongPtrA(list_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallIcons_.Get()));
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(largeIcons_.Get()));
}

DWORD CSelectDlg::View() const
{
    return static_cast<DWORD>(GetWindowLongPtrA(list_, GWL_STYLE)) & LVS_TYPEMASK;
}

void CSelectDlg::SetView(DWORD view)
{
    const LONG_PTR style = GetWindowLongPtrA(list_, GWL_STYLE);
    if (static_cast<DWORD>(style & LVS_TYPEMASK) != view)
        SetWindowLongPtrA(list_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | view);
}

int CSelectDlg::SelectedItems() const
{
    return static_cast<int>(SendMessageA(list_, LVM_GETSELECTEDCOUNT, 0, 0));
}

void CSelectDlg::NotifyMain(UINT message, WPARAM wParam, bool post) const
{
    HWND main = GetParent(hwnd);
    if (post)
        PostMessageA(main, message, wParam, 0);
    else
        SendMessageA(main, message, wParam, 0);
}

void CSelectDlg::Refill()
{
    if (!list_)
        return;
    WaitCursor wait;
    {
        RedrawPaused paused(list_);
        SetView(LVS_REPORT);
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
        if (!database_ || CountOfferedPrinters(*database_) == 0)
            return;
        InsertPrinters();
        for (int i = 0; i < columns_; ++i)
            SendMessageA(list_, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE_USEHEADER);
        SetView(LVS_LIST);
    }
    SetFocus(list_);
    LVITEMA focus{};
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
    NotifyMain(UM_ENABLEUNINSTALL, 0);
}

void CSelectDlg::InsertPrinters()
{
    const RowTexts texts{texts_.GetText(IDS_LOCAL), texts_.GetText(IDS_YES), texts_.GetText(IDS_NO),
                         texts_.GetText(IDS_NONE)};
    // Each offered record goes to its position in the inventory, which counts
    // the records left off the list too.
    int position = -1;
    for (const CActivePrinter& printer : database_->Printers) {
        ++position;
        if (!printer.IsOffered())
            continue;
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = position;
        item.pszText = const_cast<char*>(printer.PrinterName);
        item.iImage = StateIcon(printer);
        item.lParam = position;
        const int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0)
            continue;
        const char* cells[] = {
            printer.DriverName,
            printer.ServerName[0] ? printer.ServerName : texts.local.c_str(),
            printer.IsDefault ? texts.yes.c_str() : texts.no.c_str(),
            printer.IsMakerDriver ? texts.yes.c_str() : texts.no.c_str(),
            printer.MaskedName[0] ? printer.MaskedName : texts.none.c_str(),
        };
        for (int column = 1; column <= static_cast<int>(std::size(cells)); ++column) {
            LVITEMA cell{};
            cell.iSubItem = column;
            cell.pszText = const_cast<char*>(cells[column - 1]);
            SendMessageA(list_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&cell));
        }
    }
}

void CSelectDlg::Commit()
{
    selectedCount_ = 0;
    if (!list_ || !database_)
        return;
    // Every listed printer stays unless its own row is found selected.
    for (CActivePrinter& printer : database_->Printers) {
        if (printer.IsOffered())
            printer.Skip = 1;
    }
    // A row knows its record by position (its item data); the name must
    // still be the record's, or the row chooses nothing. A search by name
    // alone would let the row of one printer choose another whose name
    // differs only in letter case.
    std::vector<CActivePrinter*> records;
    records.reserve(database_->Printers.size());
    for (CActivePrinter& printer : database_->Printers)
        records.push_back(&printer);
    const int count = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char name[text::kMaxText] = {};
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = name;
        item.cchTextMax = sizeof name;
        if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
            continue;
        if (item.lParam < 0 || static_cast<std::size_t>(item.lParam) >= records.size())
            continue;
        CActivePrinter& printer = *records[static_cast<std::size_t>(item.lParam)];
        if (!printer.IsOffered() || !text::FoldEqual(printer.PrinterName, name))
            continue;
        if ((SendMessageA(list_, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED) != 0) {
            printer.Skip = 0;
            ++selectedCount_;
        }
    }
}

HMENU CSelectDlg::UpdateContextMenu()
{
    if (!menu_) {
        menu_.Attach(LoadMenuA(Instance(), MAKEINTRESOURCEA(IDR_SELECT_MENU)));
        popup_ = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
        // Decided once: "Other Details..." and its separator go for good.
        if (popup_ && !DiagnosticViewEnabled()) {
            for (int position : {10, 9, 8})
                DeleteMenu(popup_, position, MF_BYPOSITION);
        }
    }
    if (!popup_)
        return nullptr;

    const DWORD view = View();
    const auto check = [&](UINT id, DWORD itsView) {
        CheckMenuItem(popup_, id, MF_BYCOMMAND | (view == itsView ? MF_CHECKED : MF_UNCHECKED));
    };
    check(IDM_LARGE_ICONS, LVS_ICON);
    check(IDM_SMALL_ICONS, LVS_SMALLICON);
    check(IDM_LIST, LVS_LIST);
    check(IDM_DETAILS, LVS_REPORT);

    const UINT state = SelectedItems() > 0 ? MF_ENABLED : MF_GRAYED | MF_DISABLED;
    EnableMenuItem(popup_, IDM_REMOVE, MF_BYCOMMAND | state);
    EnableMenuItem(popup_, IDM_OTHER_DETAILS, MF_BYCOMMAND | state);
    SetMenuDefaultItem(popup_, IDM_REMOVE, FALSE);
    return popup_;
}

void CSelectDlg::ShowContextMenu()
{
    HMENU popup = UpdateContextMenu();
    if (!popup)
        return;
    const DWORD at = GetMessagePos();
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)), 0, hwnd,
                   nullptr);
}

INT_PTR CSelectDlg::OnNotify(const NMHDR& header)
{
    if (header.idFrom != IDC_PRINTER_LIST)
        return FALSE;
    switch (header.code) {
    case LVN_ITEMCHANGED:
        if (SelectedItems() > 0)
            NotifyMain(UM_ENABLEUNINSTALL, 1);
        return FALSE;
    case NM_RCLICK:
        ShowContextMenu();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CSelectDlg::OnCommand(WPARAM wParam)
{
    if (IsCloseCommand(wParam))
        return EndOnCloseCommand(wParam);
    const int id = LOWORD(wParam);
    if (id < IDM_LARGE_ICONS || id > IDM_OTHER_DETAILS)
        return FALSE;

    WaitCursor wait;
    switch (id) {
    case IDM_LARGE_ICONS:
        SetView(LVS_ICON);
        break;
    case IDM_SMALL_ICONS:
        SetView(LVS_SMALLICON);
        break;
    case IDM_LIST:
        SetView(LVS_LIST);
        break;
    case IDM_DETAILS:
        SetView(LVS_REPORT);
        break;
    case IDM_REMOVE:
        Commit();
        NotifyMain(UM_STARTREMOVAL, 0, true);
        break;
    case IDM_SELECT_ALL: {
        LVITEMA all{};
        all.stateMask = LVIS_SELECTED;
        all.state = LVIS_SELECTED;
        SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
        break;
    }
    case IDM_OTHER_DETAILS:
        Commit();
        RunExtraInfo();
        break;
    }
    return TRUE;
}

void CSelectDlg::RunExtraInfo()
{
    CExtraInfoDlg extraInfo;
    extraInfo.SetDatabase(database_);
    extraInfo.SetSelectedCount(selectedCount_);
    DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_EXTRAINFO), hwnd, CDlg::StaticDlgProc,
                    reinterpret_cast<LPARAM>(&extraInfo));
}
