#include "RemovePage.h"

#include <commctrl.h>

#include <utility>

#include "../res/resource.h"
#include "../script/MessageBox.h"
#include "../script/UiSettings.h"
#include "DialogFont.h"
#include "Messages.h"

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

UINT tickPeriod = 200;
DWORD folderSettle = 100;

} // namespace

void CRemoveDlg::SetWaits(UINT tick, DWORD settle)
{
    tickPeriod = tick;
    folderSettle = settle;
}

INT_PTR CRemoveDlg::DlgProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SHOWWINDOW:
        if (wParam && !Running()) {
            progressShown_ = false;
            ShowProgress();
        }
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
        if (Running() && IsCloseCommand(wParam))
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
    texts_.SetModule(Instance());
    stateIcons_.Attach(ImageList_LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_PROGRESS_STATE), kStateIconWidth, 0,
                                            kTransparent, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    for (const ProgressRowEntry* row = kRows; row->inUse; ++row)
        texts_.SetItemTextById(hwnd, row->labelId, row->textId);
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
    if (Running() || !hwnd)
        return;
    EnableWindow(GetDlgItem(GetParent(hwnd), IDC_BTN_UNINSTALL), FALSE);
    previousCursor_ = GetCursor();
    removal_.Begin(folderSettle);
    progressShown_ = true;
    ShowProgress();
    SetTimer(hwnd, IDT_REMOVAL, tickPeriod, nullptr);
}

void CRemoveDlg::OnTimer()
{
    if (!Running())
        return;
    if (!waitCursor_)
        waitCursor_ = LoadCursorA(nullptr, IDC_WAIT);
    SetCursor(waitCursor_);
    const int ran = removal_.Step();
    const RemovalSequence::Outcome outcome = removal_.RunStep();
    if (outcome == RemovalSequence::Outcome::Busy)
        return;
    ShowProgress();
    // The shell may have come forward while the program groups went.
    if (ran == RemovalSequence::kShortcutsStep && outcome == RemovalSequence::Outcome::Advanced) {
        ShowWindow(hwnd, SW_SHOWDEFAULT);
        BringWindowToTop(hwnd);
        SetForegroundWindow(GetAncestor(hwnd, GA_ROOT));
    }
    if (outcome == RemovalSequence::Outcome::Finished)
        Finish();
}

void CRemoveDlg::Finish()
{
    KillTimer(hwnd, IDT_REMOVAL);
    SetCursor(previousCursor_);
    HWND main = GetParent(hwnd);
    // Nobody is left thinking a stopped removal finished.
    if (!removal_.StoppedBecause().empty())
        ShowMessage(hwnd, removal_.StoppedBecause().c_str(), "prnuninst", MB_OK | MB_ICONSTOP);
    // A restart was due: the program closes, whatever the answer.
    if (removal_.LastRestartOutcome() != RestartOutcome::NotNeeded)
        PostMessageA(main, WM_CLOSE, 0, 0);
    // Whatever the offer did, the main window gets its buttons back.
    PostMessageA(main, UM_REMOVALDONE, 0, 0);
}

void CRemoveDlg::ShowProgress()
{
    // The labels change font too: they repaint with the page.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
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
        const int current = removal_.ProgressRow();
        if (row < current) {
            icon = kDone;
        } else if (row == current) {
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
