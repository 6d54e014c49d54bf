#include "LoadingDlg.h"

#include <commctrl.h>

#include <utility>

#include "../res/resource.h"
#include "../script/MessageBox.h"
#include "../script/ScriptSearch.h"
#include "../spooler/CompanionWindows.h"
#include "../spooler/SpoolerService.h"
#include "AdminCheck.h"
#include "DialogFont.h"
#include "Messages.h"
#include "WindowPlacement.h"

namespace {

// Process-wide: a tick that arrives while a step still runs (a message box
// of that step pumps messages) does nothing.
bool TickGuard = false;
// The spooler gets one tick to settle, once per run of the program.
bool spoolerWaitDone = false;
// Failed inventory builds; only the first sends the loading round again.
int inventoryFailures = 0;
// The round that runs again finds the same scripts: one warning is enough.
bool missingScriptsTold = false;

UINT tickPeriod = 300;
UINT resumePeriod = 200;

constexpr int kLastStep = 10;

} // namespace

void CLoadingDlg::SetTickPeriods(UINT tick, UINT resume)
{
    tickPeriod = tick;
    resumePeriod = resume;
}

void CLoadingDlg::ForgetEarlierLoading()
{
    TickGuard = false;
    spoolerWaitDone = false;
    inventoryFailures = 0;
    missingScriptsTold = false;
}

CLoadingDlg::CLoadingDlg() : CLoadingDlg(GetCommandLineA()) {}

CLoadingDlg::CLoadingDlg(std::string_view commandLine) : switches_(commandLine) {}

CLoadingDlg::~CLoadingDlg() { RestartStoppedSpooler(); }

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
        RestartStoppedSpooler();
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
    step_ = 0;
    ended_ = false;
    result_ = -1;
    texts_.SetWindowTextById(hwnd, IDS_LOADING_TITLE);
    texts_.SetItemTextById(hwnd, IDC_LOADING_MESSAGE, IDS_LOADING_MESSAGE);
    Progress(PBM_SETRANGE, 0, MAKELPARAM(0, 99));
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
    if (ended_)
        return;
    KillTimer(hwnd, IDT_LOADING);
    const int answer = ShowMessage(hwnd, texts_.GetText(IDS_ASK_CANCEL), texts_.GetText(IDS_TITLE),
                                   MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION);
    if (answer == IDYES)
        End(0);
    else
        SetTimer(hwnd, IDT_LOADING, resumePeriod, nullptr);
}

void CLoadingDlg::OnTimer()
{
    if (TickGuard || ended_)
        return;
    TickGuard = true;
    Tick();
    TickGuard = false;
}

CLoadingDlg::Next CLoadingDlg::Tick()
{
    Progress(PBM_STEPIT, 0);
    UINT failure = 0;
    const Next next = RunStep(failure);
    if (failure != 0) {
        ShowMessage(hwnd, texts_.GetText(failure), texts_.GetText(IDS_TITLE), MB_OK | MB_ICONSTOP);
        End(0);
    } else if (!ended_ && next == Next::Advance) {
        ++step_;
        if (step_ > kLastStep)
            End(1);
        else
            Progress(PBM_STEPIT, 0);
    }
    return next;
}

int CLoadingDlg::RunUnpaced(HINSTANCE instance)
{
    if (hwnd)
        return result_;
    texts_.SetModule(instance);
    step_ = 0;
    ended_ = false;
    result_ = -1;
    while (!ended_) {
        if (Tick() == Next::Stay)
            Sleep(tickPeriod);
    }
    return result_;
}

CLoadingDlg::Next CLoadingDlg::RunStep(UINT& failure)
{
    const bool nt = platform_.isNT();
    switch (step_) {
    case 0:
        if (!IsAdministrator(platform_))
            failure = IDS_NOT_ADMIN;
        break;
    case 1:
        CloseCompanionWindows();
        break;
    case 2:
        if (nt) {
            spoolerStopped_ = true;
            StopSpooler();
        }
        break;
    case 3:
        if (!spoolerWaitDone) {
            spoolerWaitDone = true;
            return Next::Stay;
        }
        break;
    case 4:
        if (nt) {
            if (StartSpooler())
                spoolerStopped_ = false;
            else
                failure = IDS_SPOOLER_UNSTABLE;
        }
        break;
    case 5:
        FindScripts();
        break;
    case 6:
        if (database_) {
            for (const std::string& script : scripts_)
                ReadScript(*database_, script.c_str());
        }
        break;
    case 7:
        if (database_) {
            FillBaseWorkList(*database_, database_->BaseWorkList);
            AdjustForVeltrope(*database_, switches_.FindSwitch("UNVELT") >= 0);
        }
        break;
    case 8:
        BuildInventory(failure);
        break;
    case 9:
        CloseCompanionWindows();
        Progress(PBM_SETSTEP, 1);
        Progress(PBM_SETPOS, 95);
        break;
    case 10:
        KillTimer(hwnd, IDT_LOADING);
        break;
    default:
        break;
    }
    return Next::Advance;
}

void CLoadingDlg::FindScripts()
{
    FindUninstallScripts(scripts_);
    if (scripts_.empty() && !std::exchange(missingScriptsTold, true))
        ShowMessage(hwnd, texts_.GetText(IDS_NO_SCRIPT), texts_.GetText(IDS_TITLE), MB_OK | MB_ICONSTOP);
    Progress(PBM_SETPOS, 20);
    Progress(PBM_SETSTEP, scripts_.empty() ? 10 : 10 / static_cast<int>(scripts_.size()));
}

void CLoadingDlg::BuildInventory(UINT& failure)
{
    if (!database_)
        return;
    std::list<CActivePrinter>& printers = database_->Printers;
    const std::size_t before = printers.size();
    if (BuildListOfInstalledPrinters(printers) != 0 || ended_)
        return;
    // What a failed attempt appended goes: the round that runs again lists
    // those printers anew, and no removal may follow a partial list.
    while (printers.size() > before)
        printers.pop_back();
    if (inventoryFailures++ == 0) {
        step_ = 0;
        Progress(PBM_SETPOS, 5);
    } else if (inventoryFailed_) {
        failure = IDS_SPOOLER_NO_ANSWER;
    }
}

int CLoadingDlg::CloseCompanionWindows() { return ::CloseCompanionWindows(); }

void CLoadingDlg::End(int result)
{
    if (ended_)
        return;
    ended_ = true;
    result_ = result;
    if (hwnd)
        KillTimer(hwnd, IDT_LOADING);
    RestartStoppedSpooler();
    if (hwnd)
        EndDialog(hwnd, result);
}

void CLoadingDlg::RestartStoppedSpooler()
{
    if (std::exchange(spoolerStopped_, false))
        StartSpooler();
}

LRESULT CLoadingDlg::Progress(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return 0;
    return SendDlgItemMessageA(hwnd, IDC_LOADING_PROGRESS, message, wParam, lParam);
}
