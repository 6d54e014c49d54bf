#pragma once
// The main window: two buttons and a frame that hosts the selection page and
// the removal page.

#include <string_view>

#include "../common/Handles.h"
#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "../common/PlatformKind.h"
#include "Dlg.h"
#include "LoadingDlg.h"
#include "RemovePage.h"
#include "SelectPage.h"

class MainDlg : public CDlg {
public:
    // Reads the process's command line.
    MainDlg();
    // Reads the given command line instead.
    explicit MainDlg(std::string_view commandLine);
    ~MainDlg() override;

    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    CSelectDlg& SelectPage() { return select_; }
    CLoadingDlg& Loading() { return loading_; }
    UninstallDatabase& Database() { return database_; }
    CRemoveDlg& RemovePage() { return remove_; }

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(int id);
    void OnEnterMenuLoop();
    void ShowAbout();
    INT_PTR OnCtlColorStatic(HDC dc, HWND control);
    void SetUpSystemMenu();
    HWND CreatePage(CDlg& page, const char* templateName, bool show);
    void RunLoadingStep();
    bool SwitchGiven(const char* name) const { return loading_.Switches().FindSwitch(name) >= 0; }
    void StartRemoval();
    void OnRemovalDone();
    void EnableButton(int id, bool enable);

    HINSTANCE instance_ = nullptr;
    TextCatalogue texts_;
    PlatformKind platform_;
    UninstallDatabase database_;
    CLoadingDlg loading_;
    CSelectDlg select_;
    CRemoveDlg remove_;
    BitmapHandle sidePicture_;
};

// Registers the main window's class: the system dialog class under the
// program's own name, so that a second start can find the first.
bool RegisterMainWindowClass(HINSTANCE instance);
