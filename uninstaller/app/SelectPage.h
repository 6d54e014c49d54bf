#pragma once
// The printer selection page, a child dialog of the main window.

#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "Dlg.h"

class CSelectDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The main window's database; set before the loading dialog runs.
    void SetDatabase(UninstallDatabase* database) { database_ = database; }

    bool Visible() const { return visible_; }

private:
    BOOL OnInitDialog();

    bool visible_ = false;
    TextCatalogue texts_;
    UninstallDatabase* database_ = nullptr;
};
