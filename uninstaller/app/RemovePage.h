#pragma once
// The removal page, a child dialog of the main window: runs the engine's
// removal one step per timer tick and shows which stage runs.

#include <windows.h>

#include "../common/Handles.h"
#include "../engine/RemovalSequence.h"
#include "../script/TextCatalogue.h"
#include "Dlg.h"

class CRemoveDlg : public CDlg {
public:
    explicit CRemoveDlg(RemovalSequence& removal) : removal_(removal) {}

    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Starts the steps from the first; nothing while they run.
    void Start();
    // From Start until the last step has run.
    bool Running() const { return removal_.Running(); }
    RemovalSequence& Removal() { return removal_; }

    // Tests shorten the tick period and the wait between a location's two
    // resolutions.
    static void SetWaits(UINT tickPeriod, DWORD folderSettle);

private:
    BOOL OnInitDialog();
    void CreateRowFonts();
    void OnTimer();
    void Finish();
    void ShowProgress();
    int RowOfControl(HWND control) const;
    void DrawRow(int row, HDC dc);
    void PaintRowIcons();

    RemovalSequence& removal_;
    TextCatalogue texts_;
    FontHandle normalFont_;
    FontHandle boldFont_;
    ImageListHandle stateIcons_;
    HCURSOR previousCursor_ = nullptr;
    HCURSOR waitCursor_ = nullptr;
    // Rows show their state once a removal has started on this page.
    bool progressShown_ = false;
};
