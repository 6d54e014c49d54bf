#pragma once
// The removal page, a child dialog of the main window that shows the stages
// of the removal.

#include "../script/TextCatalogue.h"
#include "Dlg.h"

class CRemoveDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL OnInitDialog();

    TextCatalogue texts_;
};
