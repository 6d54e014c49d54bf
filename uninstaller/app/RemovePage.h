#pragma once
// The removal page, a child dialog of the main window that shows the stages
// of the removal.

#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "Dlg.h"

class CRemoveDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The main window's database; set before the loading dialog runs.
    void SetDatabase(UninstallDatabase* database) { database_ = database; }

private:
    BOOL OnInitDialog();

    TextCatalogue texts_;
    UninstallDatabase* database_ = nullptr;
};
