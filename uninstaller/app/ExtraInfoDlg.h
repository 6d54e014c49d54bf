#pragma once
// The diagnostic view of the uninstall database: one item category at a
// time, what the removal of the selected printers would take away, or the
// items of the one selected printer's own profile.

#include <string>
#include <string_view>
#include <vector>

#include "Dlg.h"
#include "../script/UninstallDatabase.h"

// An item's fields: the text up to each of the first `count` - 1 plain
// commas (quotes mean nothing here), then the last field, which takes the
// rest of the item when `keepRest` and only the text up to the next comma
// otherwise. Fields the item lacks are empty.
std::vector<std::string> SplitItemFields(std::string_view item, int count, bool keepRest);

class CExtraInfoDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetDatabase(UninstallDatabase* database) { database_ = database; }
    // Printers selected when the dialog opens; set before it runs.
    void SetSelectedCount(int count) { selectedCount_ = count; }

    // Rebuilds the database for the current selection and lists the chosen
    // category of the profile shown.
    void Refresh();

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(WPARAM wParam);
    const UninstallProfile& ChooseProfile(UninstallProfile& found, char (&title)[text::kMaxText + 64]);
    void InsertColumns(const char* const* headers, int count);
    void AddRow(int row, const std::vector<std::string>& fields);

    UninstallDatabase* database_ = nullptr;
    int selectedCount_ = 0;
    HWND list_ = nullptr;
    int columns_ = 0;
    int profileOnly_ = 0;
    int category_ = 1;
    UninstallProfile none_;
};
