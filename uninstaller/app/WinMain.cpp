// Program entry: one instance only, then the main window as a modal dialog.
#include <windows.h>
#include <commctrl.h>

#include "../common/AnsiLeadByte.h"
#include "MainDlg.h"
#include "Messages.h"
#include "SingleInstance.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        UseAnsiCodePage();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);

        LeaveIfAlreadyRunning();
        RegisterMainWindowClass(instance);

        MainDlg main;
        return static_cast<int>(
            DialogBoxParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&main)));
    } catch (int result) {
        return result;
    }
}
