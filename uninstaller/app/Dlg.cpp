#include "Dlg.h"

INT_PTR CALLBACK CDlg::StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrA(window, DWLP_USER, lParam);

    auto* dialog = reinterpret_cast<CDlg*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) {
        // Messages before WM_INITDIALOG: only OK and Cancel mean anything.
        if (message == WM_COMMAND && HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(window, LOWORD(wParam) == IDOK ? 1 : 0);
            return TRUE;
        }
        return FALSE;
    }

    dialog->hwnd = window;
    // No exception may unwind through the window manager.
    try {
        return dialog->DlgProc(window, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}
