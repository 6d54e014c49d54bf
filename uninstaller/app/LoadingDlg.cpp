#include "LoadingDlg.h"

#include <commctrl.h>

#include "../res/resource.h"
#include "../script/MessageBox.h"
#include "DialogFont.h"
#include "Messages.h"
#include "WindowPlacement.h"

namespace {

UINT tickPeriod = 300;
UINT resumePeriod = 200;

} // namespace

void CLoadingDlg::SetTickPeriods(UINT tick, UINT resume)
{
    tickPeriod = tick;
    resumePeriod = resume;
}

UINT CLoadingDlg::TickPeriod() { return tickPeriod; }

INT_PTR CLoadingDlg::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    ApplyDialogFont(window, message);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0);
        return FALSE;
    case WM_DESTROY:
        work_.RestartStoppedSpooler();
        return FALSE;
    case WM_TIMER:
        if (wParam != IDT_LOADING)
            return FALSE;
        OnTimer();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
            return FALSE;
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CLoadingDlg::OnInitDialog()
{
    texts_.SetModule(Instance());
    texts_.SetWindowTextById(hwnd, IDS_LOADING_TITLE);
    texts_.SetItemTextById(hwnd, IDC_LOADING_MESSAGE, IDS_LOADING_MESSAGE);
    Progress(PBM_SETRANGE, 0, MAKELPARAM(0, 99));
    Progress(PBM_SETPOS, 1);
    Progress(PBM_SETSTEP, 2);
    ShowWindow(GetDlgItem(hwnd, IDC_LOADING_STATUS), SW_HIDE);
    return TRUE;
}

void CLoadingDlg::OnShowWindow(bool shown)
{
    if (!shown)
        return;
    CentreOnDesktop(hwnd);
    SetTimer(hwnd, IDT_LOADING, tickPeriod, nullptr);
}

void CLoadingDlg::OnCancel()
{
    if (work_.Ended())
        return;
    KillTimer(hwnd, IDT_LOADING);
    const int answer = ShowMessage(hwnd, texts_.GetText(IDS_ASK_CANCEL), texts_.GetText(IDS_TITLE),
                                   MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION);
    if (answer == IDYES) {
        work_.Cancel();
        End(0);
    } else {
        SetTimer(hwnd, IDT_LOADING, resumePeriod, nullptr);
    }
}

void CLoadingDlg::OnTimer()
{
    // A tick while a step still runs (its message box lets ticks through)
    // does nothing.
    if (work_.InStep() || work_.Ended())
        return;
    Progress(PBM_STEPIT, 0);
    const int ran = work_.Step();
    const Loading::Outcome outcome = work_.RunStep();
    if (ran == Loading::kFindScripts) {
        const std::size_t scripts = work_.Scripts().size();
        Progress(PBM_SETPOS, 20);
        Progress(PBM_SETSTEP, scripts == 0 ? 10 : 10 / static_cast<int>(scripts));
    } else if (ran == Loading::kInventory && work_.Step() == Loading::kCompanions) {
        // The failed inventory sends the round once more.
        Progress(PBM_SETPOS, 5);
    } else if (ran == Loading::kCompanionsAgain) {
        Progress(PBM_SETSTEP, 1);
        Progress(PBM_SETPOS, 95);
    }
    if (outcome == Loading::Outcome::Ended)
        End(work_.Result());
    else if (outcome == Loading::Outcome::Advanced)
        Progress(PBM_STEPIT, 0);
}

void CLoadingDlg::End(int result)
{
    KillTimer(hwnd, IDT_LOADING);
    EndDialog(hwnd, result);
}

LRESULT CLoadingDlg::Progress(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendDlgItemMessageA(hwnd, IDC_LOADING_PROGRESS, message, wParam, lParam);
}
