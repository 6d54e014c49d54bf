#pragma once
// The printer selection page, a child dialog of the main window.

#include "../script/TextCatalogue.h"
#include "Dlg.h"

class CSelectDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    bool Visible() const { return visible_; }

private:
    BOOL OnInitDialog();

    bool visible_ = false;
    TextCatalogue texts_;
};
