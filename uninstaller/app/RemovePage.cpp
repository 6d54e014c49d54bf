#include "RemovePage.h"

#include <commctrl.h>

#include <utility>

#include "../res/resource.h"
#include "../script/UiSettings.h"
#include "../spooler/SpoolerService.h"
#include "../spooler/SpoolerWindow.h"
#include "../common/Journal.h"
#include "DialogFont.h"
#include "FolderLists.h"
#include "KeptItems.h"
#include "Messages.h"
#include "RemovalOperations.h"

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

enum StateIcon { kPending = 0, kDone = 1, kCurrent = 2 };
constexpr int kStateIconWidth = 16;
constexpr COLORREF kTransparent = RGB(255, 0, 255);

// The environments whose drivers, monitors and processors go, in this
// order; nullptr is the running one.
constexpr const char* kEnvironments[] = {nullptr, "Windows NT x86", "Windows 4.0"};

constexpr int kLastStep = 17;

// How often an unpaced run looks again at a step that waits (the masking
// tool still running).
constexpr DWORD kUnpacedRecheck = 200;

// Process-wide: a tick that arrives while a step still runs (a message box
// of that step pumps messages) does nothing.
bool TickGuard = false;
// Step 1 still waits for the masking tool.
bool VeltropeRunning = false;

UINT tickPeriod = 200;
DWORD folderSettle = 100;
CRemoveDlg::StepObserver stepObserver;

} // namespace

void CRemoveDlg::SetWaits(UINT tick, DWORD settle)
{
    tickPeriod = tick;
    folderSettle = settle;
}

void CRemoveDlg::ObserveSteps(StepObserver observer) { stepObserver = std::move(observer); }

INT_PTR CRemoveDlg::DlgProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SHOWWINDOW:
        if (wParam)
            SetProgress(true);
        return FALSE;
    case WM_PAINT:
        PaintRowIcons();
        return FALSE;
    case WM_CTLCOLORSTATIC: {
        const int row = RowOfControl(reinterpret_cast<HWND>(lParam));
        if (row < 0)
            return FALSE;
        DrawRow(row, reinterpret_cast<HDC>(wParam));
        return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
    }
    case WM_TIMER:
        if (wParam != IDT_REMOVAL)
            return FALSE;
        OnTimer();
        return TRUE;
    case WM_COMMAND:
        // Ending the page in the middle would leave the steps half done.
        if (running_ && IsCloseCommand(wParam))
            return TRUE;
        return EndOnCloseCommand(wParam);
    case WM_DESTROY:
        KillTimer(hwnd, IDT_REMOVAL);
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CRemoveDlg::OnInitDialog()
{
    state_.Page = hwnd;
    state_.Texts.SetModule(Instance());
    stateIcons_.Attach(ImageList_LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_PROGRESS_STATE), kStateIconWidth, 0,
                                            kTransparent, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    for (const ProgressRowEntry* row = kRows; row->inUse; ++row)
        state_.Texts.SetItemTextById(hwnd, row->labelId, row->textId);
    CreateRowFonts();
    return TRUE;
}

void CRemoveDlg::CreateRowFonts()
{
    // The fonts of the user-interface settings; a machine without them (no
    // face name in the default script) keeps the page's own font, which
    // shows the page's texts, and gets its bold variant.
    if (CurrentUiSettings().FontType[0] != '\0') {
        normalFont_.Attach(CreateSettingsFont(FW_NORMAL));
        boldFont_.Attach(CreateSettingsFont(FW_BOLD));
    }
    if (normalFont_ && boldFont_)
        return;
    LOGFONTA font{};
    HGDIOBJ pageFont = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    if (!pageFont || !GetObjectA(pageFont, sizeof font, &font))
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfWeight = FW_NORMAL;
    normalFont_.Attach(CreateFontIndirectA(&font));
    font.lfWeight = FW_BOLD;
    boldFont_.Attach(CreateFontIndirectA(&font));
}

void CRemoveDlg::Start()
{
    // A second request while the steps run (the button and the menu both
    // start the removal) would begin them again from the first.
    if (running_ || !hwnd)
        return;
    EnableWindow(GetDlgItem(GetParent(hwnd), IDC_BTN_UNINSTALL), FALSE);
    previousCursor_ = GetCursor();
    Begin();
    SetProgress(true);
    SetTimer(hwnd, IDT_REMOVAL, tickPeriod, nullptr);
}

bool CRemoveDlg::Begin()
{
    if (running_)
        return false;
    FillFolderLists(state_, folderSettle);
    state_.DriverDirectory.Resolve(location::PrinterDriverDirectory);
    stepCounter_ = 0;
    restartOutcome_ = RestartOutcome::NotNeeded;
    running_ = true;
    return true;
}

RestartOutcome CRemoveDlg::RunUnpaced(HINSTANCE instance)
{
    if (hwnd || !Begin())
        return restartOutcome_;
    state_.Texts.SetModule(instance);
    while (running_) {
        const int step = stepCounter_;
        OnTimer();
        if (running_ && stepCounter_ == step)
            Sleep(kUnpacedRecheck);
    }
    return restartOutcome_;
}

void CRemoveDlg::OnTimer()
{
    if (TickGuard || !running_)
        return;
    struct Guard {
        Guard() { TickGuard = true; }
        ~Guard() { TickGuard = false; }
    } guard;
    if (waitCursor_ && hwnd)
        SetCursor(waitCursor_);
    const int step = stepCounter_;
    journal::SetStep(step);
    try {
        if (stepObserver)
            stepObserver(step);
        RunStep();
    } catch (...) {
        // A step that fails goes no further, but the sequence does: the
        // spooler must start again and the program must be able to end.
        if (running_ && stepCounter_ == step && step < kLastStep)
            ++stepCounter_;
    }
}

void CRemoveDlg::RunStep()
{
    const int step = stepCounter_;
    const std::uint32_t kind = state_.Platform.versionKind();
    switch (step) {
    case 0:
        progressRow_ = 0;
        Advance();
        if (hwnd) {
            waitCursor_ = LoadCursorA(nullptr, IDC_WAIT);
            SetCursor(waitCursor_);
        }
        if (state_.Database) {
            BuildDatabase(*state_.Database);
            JournalKeptItems(*state_.Database);
        }
        progressRow_ = 1;
        Advance();
        break;
    case 1:
        WaitForMaskingTool();
        if (VeltropeRunning)
            return;
        break;
    case 2:
        RunHooks(state_);
        progressRow_ = 2;
        Advance();
        break;
    case 3:
        progressRow_ = 2;
        RemovePrinters(state_);
        progressRow_ = 3;
        Advance();
        break;
    case 4:
        for (const char* environment : kEnvironments)
            RemovePrinterDrivers(state_, environment);
        Advance();
        break;
    case 5:
        for (const char* environment : kEnvironments)
            RemoveMonitors(state_, environment);
        Advance();
        break;
    case 6:
        for (const char* environment : kEnvironments)
            RemovePrintProcessors(state_, environment);
        Advance();
        break;
    case 7:
        RemoveServices(state_);
        // Which files the drivers, monitors and processors that stay use,
        // asked once the others are gone and while the spooler still
        // answers: step 8 stops it on NT 3.x and 4.0.
        ReadStayingDriverFiles(state_);
        break;
    case 8:
        if (state_.Platform.isWin9x()) {
            if (kind == platform::kKindWin95)
                CloseSpoolerWindow();
            // The Windows 9x spooler lets go of its files only at the next start.
            if (state_.Database && !journal::DryRun())
                state_.Database->RestartRequired = 1;
        } else if (state_.Platform.isNT() && (kind == platform::kKindNT3 || kind == platform::kKindNT4)) {
            StopSpooler();
        }
        Advance();
        break;
    case 9:
        ReadOemPaths(state_);
        break;
    case 10:
        RemoveShortcuts(state_);
        // The shell may have come forward while the program groups went.
        if (hwnd) {
            ShowWindow(hwnd, SW_SHOWDEFAULT);
            BringWindowToTop(hwnd);
            SetForegroundWindow(GetAncestor(hwnd, GA_ROOT));
        }
        break;
    case 11:
        break;
    case 12:
        RemoveIniEntries(state_);
        break;
    case 13:
        DeleteLoadRunEntries(state_);
        Advance();
        break;
    case 14:
        PrepareDriverPaths(state_);
        RemoveScriptFiles(state_);
        DeleteOemInfFiles(state_);
        if (kind == platform::kKindWin98 || kind == platform::kKindWinMe)
            DeleteWin9xOemInfFiles(state_);
        else if (kind == platform::kKindWin2000 || kind == platform::kKindXP)
            RemoveDriverSubdirectory(state_);
        break;
    case 15:
        RemoveRegistryKeys(state_);
        Advance();
        break;
    case 16:
        if (state_.Platform.isNT())
            StartSpooler();
        break;
    case kLastStep:
        Finish();
        return;
    default:
        return;
    }
    ++stepCounter_;
}

void CRemoveDlg::WaitForMaskingTool()
{
    VeltropeRunning = false;
    progressRow_ = 1;
    Advance();
    if (state_.Database && !state_.Database->VeltropeSpared)
        VeltropeRunning = maskingTool_.StillRunning(state_.Platform);
    if (!VeltropeRunning)
        maskingTool_.Forget();
}

void CRemoveDlg::Finish()
{
    running_ = false;
    if (hwnd) {
        KillTimer(hwnd, IDT_REMOVAL);
        SetCursor(previousCursor_);
    }
    try {
        if (state_.Database)
            restartOutcome_ = OfferRestart(hwnd, *state_.Database, state_.Platform, state_.Texts);
    } catch (...) {
    }
    // Whatever the offer did, the main window gets its buttons back.
    if (hwnd)
        PostMessageA(GetParent(hwnd), UM_REMOVALDONE, 0, 0);
}

void CRemoveDlg::SetProgress(bool reset)
{
    if (reset) {
        progressRow_ = 0;
        progressShown_ = false;
    } else {
        progressShown_ = true;
    }
    // The labels change font too: they repaint with the page. Without a
    // page there is nothing to paint (a null window would be the desktop).
    if (hwnd)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (progressShown_)
        ++progressRow_;
}

int CRemoveDlg::RowOfControl(HWND control) const
{
    const int id = GetDlgCtrlID(control);
    for (int row = 0; kRows[row].inUse; ++row) {
        if (kRows[row].iconId == id)
            return row;
    }
    return -1;
}

void CRemoveDlg::DrawRow(int row, HDC dc)
{
    bool bold = false;
    int icon = kPending;
    if (progressShown_) {
        if (row < progressRow_) {
            icon = kDone;
        } else if (row == progressRow_) {
            icon = kCurrent;
            bold = true;
        }
    }
    if (HFONT font = bold ? boldFont_.Get() : normalFont_.Get())
        SendDlgItemMessageA(hwnd, kRows[row].labelId, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (stateIcons_)
        ImageList_Draw(stateIcons_.Get(), icon, dc, 0, 0, ILD_TRANSPARENT);
}

void CRemoveDlg::PaintRowIcons()
{
    for (int row = 0; kRows[row].inUse; ++row) {
        HWND control = GetDlgItem(hwnd, kRows[row].iconId);
        if (!control)
            continue;
        if (HDC dc = GetDC(control)) {
            DrawRow(row, dc);
            ReleaseDC(control, dc);
        }
    }
}
