#include "Dialog.h"

#include "DataExchange.h"
#include "ResourceModule.h"

namespace {
// The owner of a dialog run without a parent: the caller's active window.
HWND SafeOwner()
{
    HWND active = GetActiveWindow();
    return active ? GetAncestor(active, GA_ROOT) : nullptr;
}
} // namespace

INT_PTR ModalDialog::DoModal(HWND parent)
{
    return DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(templateId_), parent ? parent : SafeOwner(),
                           Procedure, reinterpret_cast<LPARAM>(this));
}

bool ModalDialog::UpdateData(bool save)
{
    DataExchange exchange(hwnd_, save);
    DoDataExchange(exchange);
    return exchange.Ok();
}

BOOL ModalDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void ModalDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void ModalDialog::OnCancel() { EndDialog(IDCANCEL); }

bool ModalDialog::OnCommand(WORD id, WORD, HWND)
{
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool ModalDialog::OnNotify(NMHDR*, LRESULT&) { return false; }

INT_PTR CALLBACK ModalDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<ModalDialog*>(lParam)->hwnd_ = window;
    }
    auto* dialog = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog)
        return FALSE;
    // No exception may unwind through the caller's window manager. A dialog
    // that could not be set up is not shown half-built: it ends as one that
    // could not be created, and nothing of it reaches the caller.
    try {
        return dialog->Dispatch(message, wParam, lParam);
    } catch (...) {
        if (message == WM_INITDIALOG)
            ::EndDialog(window, -1);
        return FALSE;
    }
}

INT_PTR ModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
            return FALSE;
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_PAINT:
        return OnPaint() ? TRUE : FALSE;
    default: {
        INT_PTR result = FALSE;
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
    }
}
