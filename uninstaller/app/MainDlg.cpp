#include "MainDlg.h"

#include <commctrl.h>

#include "../res/resource.h"
#include "../script/FileSpec.h"
#include "../script/UiSettings.h"
#include "AboutDlg.h"
#include "DialogFont.h"
#include "Messages.h"
#include "../engine/PrinterFilter.h"
#include "../engine/RunMode.h"
#include "WindowPlacement.h"

namespace {

// Appended to the system menu: a column break, then the about item.
constexpr UINT kMenuColumnBreak = 0x20;

} // namespace

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "#32770", &wc))
        return false;
    wc.hInstance = instance;
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

MainDlg::MainDlg(const SwitchList& switches)
    : engine_(database_, EngineSettings(switches)), loading_(engine_.Load()), select_(), remove_(engine_.Removal())
{
}

MainDlg::~MainDlg() = default;

INT_PTR MainDlg::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The default script may appear beside the program at any time; its
    // settings are taken as soon as they are there.
    BuildDefaultScriptPath();
    LoadUiSettings();
    ApplyDialogFont(window, message);

    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_SYSCOMMAND:
        if (LOWORD(wParam) != IDS_ABOUT_MENU)
            return FALSE;
        ShowAbout();
        return TRUE;
    case WM_ENTERMENULOOP:
        OnEnterMenuLoop();
        return FALSE;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case UM_ENABLEUNINSTALL:
        EnableButton(IDC_BTN_UNINSTALL, wParam != 0);
        return TRUE;
    case UM_STARTREMOVAL:
        StartRemoval();
        return TRUE;
    case UM_REMOVALDONE:
        OnRemovalDone();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL MainDlg::OnInitDialog()
{
    instance_ = Instance();
    texts_.SetModule(instance_);

    ShowWindow(GetDlgItem(hwnd, IDC_PAGE_FRAME), SW_HIDE);
    SetUpSystemMenu();

    texts_.SetWindowTextById(hwnd, IDS_TITLE);
    texts_.SetItemTextById(hwnd, IDC_BTN_UNINSTALL, IDS_BTN_UNINSTALL);
    texts_.SetItemTextById(hwnd, IDC_BTN_EXIT, IDS_BTN_EXIT);

    CreatePage(select_, "IDD_SELECT", false);
    // The add-on hooks get the removal page as their owner.
    engine_.SetOwner(CreatePage(remove_, "IDD_REMOVE", true));

    SendMessageA(hwnd, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconA(instance_, MAKEINTRESOURCEA(IDI_PROGRAM))));
    CentreOnDesktop(hwnd);
    ShowWindow(hwnd, SW_HIDE);

    RunLoadingStep();
    return TRUE;
}

void MainDlg::SetUpSystemMenu()
{
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu)
        return;
    EnableMenuItem(menu, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
    AppendMenuA(menu, kMenuColumnBreak, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDS_ABOUT_MENU, texts_.GetText(IDS_ABOUT_MENU));
}

HWND MainDlg::CreatePage(CDlg& page, const char* templateName, bool show)
{
    HWND window = CreateDialogParamA(instance_, templateName, hwnd, CDlg::StaticDlgProc,
                                     reinterpret_cast<LPARAM>(&page));
    if (!window)
        return nullptr;
    CoverFrame(hwnd, window, IDC_PAGE_FRAME);
    ShowWindow(window, show ? SW_SHOW : SW_HIDE);
    return window;
}

void MainDlg::RunLoadingStep()
{
    EnableButton(IDC_BTN_UNINSTALL, false);
    EnableButton(IDC_BTN_EXIT, false);
    select_.SetDatabase(&database_);

    const INT_PTR loaded = DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_LOADING), hwnd, CDlg::StaticDlgProc,
                                           reinterpret_cast<LPARAM>(&loading_));
    if (loaded != 1) {
        EndDialog(hwnd, 1);
        return;
    }

    if (!SwitchGiven("MFG") && !SwitchGiven("UNVELT") && !SwitchGiven("PRN")) {
        ShowWindow(remove_.hwnd, SW_HIDE);
    } else if (SwitchGiven("NOPICK")) {
        ShowWindow(hwnd, SW_SHOW);
        EnableButton(IDC_BTN_UNINSTALL, true);
    }

    ShowWindow(select_.hwnd, SW_SHOW);
    ShowWindow(hwnd, SW_SHOW);
    select_.Refill();
    // With no printer to choose, the removal can still take away what the
    // scripts left behind; otherwise the selection page enables the button.
    EnableButton(IDC_BTN_UNINSTALL, CountOfferedPrinters(database_) == 0);
    EnableButton(IDC_BTN_EXIT, true);

    // "NOPICK" with a filter: every printer the filter offers goes, without
    // waiting for a choice, as soon as the window shows.
    if (ReadRunMode(engine_.Switches()).RemoveAllOffered) {
        ChooseEveryOfferedPrinter(database_.Printers);
        PostMessageA(hwnd, UM_STARTREMOVAL, 0, 0);
    }
}

INT_PTR MainDlg::OnCommand(int id)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case IDC_BTN_EXIT:
        // Escape, and the close request the dialog manager turns into
        // Cancel, would end the program with the removal half done.
        if (remove_.Running())
            return TRUE;
        EndDialog(hwnd, 1);
        return TRUE;
    case IDC_BTN_UNINSTALL:
        if (remove_.Running())
            return TRUE;
        if (select_.Visible())
            select_.Commit();
        StartRemoval();
        return TRUE;
    default:
        return FALSE;
    }
}

void MainDlg::ShowAbout()
{
    CAboutDlg about;
    DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&about));
}

void MainDlg::OnEnterMenuLoop()
{
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu)
        return;
    const bool minimized = IsIconic(hwnd) != FALSE;
    EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | (minimized ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, SC_MINIMIZE, MF_BYCOMMAND | (minimized ? MF_GRAYED : MF_ENABLED));
}

INT_PTR MainDlg::OnCtlColorStatic(HDC dc, HWND control)
{
    if (GetDlgCtrlID(control) != IDC_SIDE_PICTURE)
        return FALSE;
    if (!sidePicture_)
        sidePicture_.Attach(static_cast<HBITMAP>(
            LoadImageA(instance_, MAKEINTRESOURCEA(IDB_SIDE_PICTURE), IMAGE_BITMAP, 0, 0, 0)));
    if (sidePicture_) {
        BITMAP info{};
        GetObjectA(sidePicture_.Get(), sizeof info, &info);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, sidePicture_.Get());
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
}

void MainDlg::StartRemoval()
{
    ShowWindow(select_.hwnd, SW_HIDE);
    ShowWindow(remove_.hwnd, SW_SHOW);
    if (HMENU menu = GetSystemMenu(hwnd, FALSE))
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    EnableButton(IDC_BTN_EXIT, false);
    remove_.Start();
}

void MainDlg::OnRemovalDone()
{
    const bool backToSelection = CountOfferedPrinters(database_) >= 1 && database_.RestartRequired == 0;
    ShowWindow(select_.hwnd, backToSelection ? SW_SHOW : SW_HIDE);
    ShowWindow(remove_.hwnd, backToSelection ? SW_HIDE : SW_SHOW);
    if (backToSelection)
        select_.Refill();
    EnableButton(IDC_BTN_EXIT, true);
}

void MainDlg::EnableButton(int id, bool enable)
{
    EnableWindow(GetDlgItem(hwnd, id), enable ? TRUE : FALSE);
}
