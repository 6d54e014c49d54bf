#include "AboutDlg.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "../res/resource.h"
#include "../script/ProgramVersion.h"
#include "../common/PlatformKind.h"
#include "DialogFont.h"
#include "WindowPlacement.h"

const char* PlatformClassName(unsigned platformClass)
{
    switch (platformClass) {
    case 1: return "Win32s";
    case 2: return "Win9x";
    case 3: return "WinNT";
    case 4: return "WinCE";
    default: return "Windows";
    }
}

INT_PTR CAboutDlg::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    ApplyDialogFont(window, message);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return EndOnCloseCommand(wParam);
    default:
        return FALSE;
    }
}

void CAboutDlg::AddRow(int row, const char* label, const char* value)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(label);
    const int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0)
        return;
    item.iItem = index;
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(value);
    SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

BOOL CAboutDlg::OnInitDialog()
{
    texts_.SetModule(Instance());
    texts_.SetWindowTextById(hwnd, IDS_ABOUT_TITLE);
    texts_.SetItemTextById(hwnd, IDC_ABOUT_LEGAL, IDS_ABOUT_LEGAL);
    texts_.SetItemTextById(hwnd, IDC_ABOUT_TITLE, IDS_TOOL_NAME);

    list_ = GetDlgItem(hwnd, IDC_ABOUT_LIST);
    const char* headers[] = {".", ".."};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = 200;
        column.pszText = const_cast<char*>(headers[i]);
        column.iSubItem = i;
        if (SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) >= 0)
            ++columns_;
    }

    char version[64];
    ProgramVersionText(version);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%s %s", __DATE__, __TIME__);
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    // SIZE_T figures: more than 4 GB free still shows whole.
    char freeRam[32], swap[32];
    std::snprintf(freeRam, sizeof freeRam, "%llu kb", static_cast<unsigned long long>(memory.dwAvailPhys / 1024));
    std::snprintf(swap, sizeof swap, "%llu kb", static_cast<unsigned long long>(memory.dwTotalPageFile / 1024));

    // Two catalogue texts a row at most: each stays valid for the next fetch.
    AddRow(0, texts_.GetText(IDS_ABOUT_VERSION), version);
    AddRow(1, texts_.GetText(IDS_ABOUT_BUILD), stamp);
    AddRow(2, texts_.GetText(IDS_ABOUT_PLATFORM), PlatformClassName(PlatformKind().platformClass()));
    AddRow(3, "Free Physical RAM", freeRam);
    AddRow(4, "Swap File Size", swap);

    CentreOnDesktop(hwnd);
    for (int i = 0; i < columns_; ++i)
        SendMessageA(list_, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE_USEHEADER);
    return TRUE;
}
