#pragma once
// The removal page, a child dialog of the main window: runs the removal as a
// fixed sequence of steps, one per timer tick, and shows which stage runs.

#include <windows.h>

#include <functional>

#include "../common/Handles.h"
#include "../script/UninstallDatabase.h"
#include "../system/Restart.h"
#include "Dlg.h"
#include "MaskingTool.h"
#include "RemovalState.h"

class CRemoveDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The main window's database; set before the loading dialog runs.
    void SetDatabase(UninstallDatabase* database) { state_.Database = database; }
    // The platform the steps are chosen by; the running system's by default.
    void SetPlatform(const PlatformKind& platform) { state_.Platform = platform; }

    // Fills the folder lists and starts the steps from the first; nothing
    // while they run.
    void Start();
    // From Start until the last step has begun.
    bool Running() const { return running_; }
    // Without a window and without the timer's pacing: every step as soon
    // as the one before has ended, with the waits of the steps themselves
    // (the masking tool, the spooler, the folders' settling). Texts come
    // from `instance`. Returns what the restart offer at the end did.
    RestartOutcome RunUnpaced(HINSTANCE instance);
    RestartOutcome LastRestartOutcome() const { return restartOutcome_; }

    int StepCounter() const { return stepCounter_; }
    RemovalState& State() { return state_; }

    // Tests shorten the tick period and the wait between a location's two
    // resolutions.
    static void SetWaits(UINT tickPeriod, DWORD folderSettle);
    // Tests watch each step as it begins, inside the tick that runs it.
    using StepObserver = std::function<void(int step)>;
    static void ObserveSteps(StepObserver observer);

private:
    BOOL OnInitDialog();
    void CreateRowFonts();
    void OnTimer();
    bool Begin();
    void RunStep();
    void WaitForMaskingTool();
    void Finish();
    void SetProgress(bool reset);
    void Advance() { SetProgress(false); }
    int RowOfControl(HWND control) const;
    void DrawRow(int row, HDC dc);
    void PaintRowIcons();

    RemovalState state_;
    FontHandle normalFont_;
    FontHandle boldFont_;
    ImageListHandle stateIcons_;
    HCURSOR previousCursor_ = nullptr;
    HCURSOR waitCursor_ = nullptr;
    MaskingToolRun maskingTool_;
    int stepCounter_ = 0;
    int progressRow_ = 0;
    bool progressShown_ = false;
    bool running_ = false;
    RestartOutcome restartOutcome_ = RestartOutcome::NotNeeded;
};
