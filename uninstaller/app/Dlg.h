#pragma once
// The dialog framework: every dialog object derives from CDlg and is passed
// as the creation parameter of its dialog; one shared procedure routes the
// messages to the object's DlgProc.

#include <windows.h>

class CDlg {
public:
    CDlg() = default;
    CDlg(const CDlg&) = delete;
    CDlg& operator=(const CDlg&) = delete;

    virtual INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual ~CDlg() = default;

    // Given to every DialogBoxParamA and CreateDialogParamA call.
    static INT_PTR CALLBACK StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd = nullptr;

protected:
    // OK, Cancel and Exit: the commands that end a dialog or page with 1.
    static bool IsCloseCommand(WPARAM wParam)
    {
        const int id = LOWORD(wParam);
        return id == IDOK || id == IDCANCEL || id == kExitButtonId;
    }

    // WM_COMMAND of a dialog that only closes: ends it with 1 on a close
    // command (TRUE), leaves every other command alone (FALSE).
    INT_PTR EndOnCloseCommand(WPARAM wParam)
    {
        if (!IsCloseCommand(wParam))
            return FALSE;
        EndDialog(hwnd, 1);
        return TRUE;
    }

    // The module the dialog's template came from.
    HINSTANCE Instance() const { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)); }

private:
    static constexpr int kExitButtonId = 2008;
};
