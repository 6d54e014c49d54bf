#pragma once
// The about box: the tool's title and legal notice, and a small table of
// facts about the program and the machine.

#include "../script/TextCatalogue.h"
#include "Dlg.h"

class CAboutDlg : public CDlg {
public:
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL OnInitDialog();
    void AddRow(int row, const char* label, const char* value);

    HWND list_ = nullptr;
    int columns_ = 0;
    TextCatalogue texts_;
};


// The platform class as the about box names it.
const char* PlatformClassName(unsigned platformClass);
