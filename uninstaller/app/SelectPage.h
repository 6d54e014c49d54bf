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

    // Lists the offered printers of the inventory again, in inventory order.
    void Refill();
    // Writes the list's selection into the inventory's Skip flags.
    void Commit();
    // Selected items at the last commit.
    int SelectedCount() const { return selectedCount_; }

private:
    BOOL OnInitDialog();

    bool visible_ = false;
    int selectedCount_ = 0;
    TextCatalogue texts_;
    UninstallDatabase* database_ = nullptr;
};
