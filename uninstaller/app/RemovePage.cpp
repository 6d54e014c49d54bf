#include "RemovePage.h"

#include "../res/resource.h"

namespace {

struct ProgressRowEntry {
    int inUse;
    int labelId;
    int iconId;
    UINT textId;
};

// The rows of the progress display, ended by an entry not in use.
constexpr ProgressRowEntry kRows[] = {
    {1, IDC_ROW_BUILD, IDC_ICON_BUILD, IDS_REMOVE_BUILD},
    {1, IDC_ROW_VELT, IDC_ICON_VELT, IDS_REMOVE_VELT},
    {1, IDC_ROW_PRINTER, IDC_ICON_PRINTER, IDS_REMOVE_PRINTER},
    {1, IDC_ROW_DRIVER, IDC_ICON_DRIVER, IDS_REMOVE_DRIVER},
    {1, IDC_ROW_MONITOR, IDC_ICON_MONITOR, IDS_REMOVE_MONITOR},
    {1, IDC_ROW_PRN_PROC, IDC_ICON_PRN_PROC, IDS_REMOVE_PRN_PROC},
    {1, IDC_ROW_SERVICES, IDC_ICON_SERVICES, IDS_REMOVE_SERVICES},
    {1, IDC_ROW_REG, IDC_ICON_REG, IDS_REMOVE_REG},
    {1, IDC_ROW_FILE, IDC_ICON_FILE, IDS_REMOVE_FILE},
    {0, 0, 0, 0},
};

} // namespace

INT_PTR CRemoveDlg::DlgProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return EndOnCloseCommand(wParam);
    default:
        return FALSE;
    }
}

BOOL CRemoveDlg::OnInitDialog()
{
    texts_.SetModule(Instance());
    for (const ProgressRowEntry* row = kRows; row->inUse; ++row)
        texts_.SetItemTextById(hwnd, row->labelId, row->textId);
    return TRUE;
}
