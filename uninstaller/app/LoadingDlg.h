#pragma once
// The loading dialog: shows the loading's progress behind a progress bar,
// one step of the engine's loading per timer tick, and asks before the
// loading is cancelled.

#include "../engine/Loading.h"
#include "../script/TextCatalogue.h"
#include "Dlg.h"

class CLoadingDlg : public CDlg {
public:
    explicit CLoadingDlg(Loading& work) : work_(work) {}

    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    Loading& Work() { return work_; }

    // Timer periods of the steps and of the resumption after Cancel; tests
    // shorten them.
    static void SetTickPeriods(UINT tick, UINT resume);
    // The wait of the unpaced loading where a step waits a tick.
    static UINT TickPeriod();

private:
    BOOL OnInitDialog();
    void OnShowWindow(bool shown);
    void OnTimer();
    void OnCancel();
    void End(int result);
    LRESULT Progress(UINT message, WPARAM wParam, LPARAM lParam = 0);

    Loading& work_;
    TextCatalogue texts_;
};
