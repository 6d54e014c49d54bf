#include "SelectPage.h"

#include "../res/resource.h"
#include "DialogFont.h"

INT_PTR CSelectDlg::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    ApplyDialogFont(window, message);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SHOWWINDOW:
        visible_ = wParam != 0;
        return FALSE;
    case WM_COMMAND:
        return EndOnCloseCommand(wParam);
    default:
        return FALSE;
    }
}

BOOL CSelectDlg::OnInitDialog()
{
    texts_.SetModule(Instance());
    texts_.SetItemTextById(hwnd, IDC_SELECT_LABEL, IDS_SELECT_LABEL);
    texts_.SetItemTextById(hwnd, IDC_SELECT_WARNING, IDS_SELECT_WARNING);
    return TRUE;
}

void CSelectDlg::Refill() {}

void CSelectDlg::Commit() {}
