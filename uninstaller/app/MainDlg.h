#pragma once
// The main window: two buttons and a frame that hosts the selection page and
// the removal page.

#include "../common/Handles.h"
#include "../common/SwitchList.h"
#include "../engine/RemovalEngine.h"
#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "Dlg.h"
#include "LoadingDlg.h"
#include "RemovePage.h"
#include "SelectPage.h"

class MainDlg : public CDlg {
public:
    // The program's command line, parsed once by its caller.
    explicit MainDlg(const SwitchList& switches);
    ~MainDlg() override;

    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    CSelectDlg& SelectPage() { return select_; }
    UninstallDatabase& Database() { return database_; }
    RemovalEngine& Engine() { return engine_; }
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
    bool SwitchGiven(const char* name) const { return engine_.Switches().FindSwitch(name) >= 0; }
    void StartRemoval();
    void OnRemovalDone();
    void EnableButton(int id, bool enable);

    HINSTANCE instance_ = nullptr;
    TextCatalogue texts_;
    UninstallDatabase database_;
    RemovalEngine engine_;
    CLoadingDlg loading_;
    CSelectDlg select_;
    CRemoveDlg remove_;
    BitmapHandle sidePicture_;
};

// Registers the main window's class: the system dialog class under the
// program's own name, so that a second start can find the first.
bool RegisterMainWindowClass(HINSTANCE instance);
