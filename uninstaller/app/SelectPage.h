#pragma once
// The printer selection page, a child dialog of the main window.

#include "../common/Handles.h"
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
    // Writes the list's selection into the inventory's Skip flags: each
    // listed printer is chosen by its own row, or stays.
    void Commit();
    // Selected items at the last commit.
    int SelectedCount() const { return selectedCount_; }

    // Brings the context menu up to date for the list as it is now and
    // returns it (the page keeps it); what a right click then tracks.
    HMENU UpdateContextMenu();

private:
    BOOL OnInitDialog();
    INT_PTR OnNotify(const NMHDR& header);
    INT_PTR OnCommand(WPARAM wParam);
    void InsertColumns();
    void LoadImageLists();
    void InsertPlaceholder();
    void InsertPrinters();
    void ShowContextMenu();
    void RunExtraInfo();
    DWORD View() const;
    void SetView(DWORD view);
    int SelectedItems() const;
    void NotifyMain(UINT message, WPARAM wParam, bool post = false) const;

    bool visible_ = false;
    int selectedCount_ = 0;
    int columns_ = 0;
    HWND list_ = nullptr;
    ImageListHandle smallIcons_;
    ImageListHandle largeIcons_;
    MenuHandle menu_;
    HMENU popup_ = nullptr;
    TextCatalogue texts_;
    UninstallDatabase* database_ = nullptr;
};
