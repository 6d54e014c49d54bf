// Benchmark, not a test: the selection page's refill of 1000 offered
// printers, then the commit of a selection of every other one.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/SelectPage.h"
#include "common/AnsiLeadByte.h"

namespace {

constexpr int kPrinters = 1000;
constexpr int kRuns = 7;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void Report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", what, ms[ms.size() / 2], ms.front(),
                ms.back(), ms.size());
}

void Inventory(UninstallDatabase& db)
{
    for (int i = 0; i < kPrinters; ++i) {
        CActivePrinter p;
        char name[64];
        std::snprintf(name, sizeof name, "QUORVEL Office Printer %04d", i);
        text::CopyWhole(p.PrinterName, name);
        text::CopyWhole(p.DriverName, "QUORVEL Lumenta " + std::to_string(2400 + i % 20));
        if (i % 3 == 0)
            text::CopyWhole(p.ServerName, "\\\\PRINTSRV" + std::to_string(i % 7));
        if (i % 50 == 0)
            text::CopyWhole(p.MaskedName, "Masked " + std::to_string(i));
        p.IsDefault = i == 17 ? 1 : 0;
        p.IsMakerDriver = 1;
        p.Skip = 1;
        db.Printers.push_back(p);
    }
}

} // namespace

int main()
{
    UseAnsiCodePage();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "SelectionBenchParent";
    RegisterClassA(&wc);
    HWND parent = CreateWindowA(wc.lpszClassName, "selection bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640,
                                480, nullptr, nullptr, instance, nullptr);

    UninstallDatabase db;
    Inventory(db);
    CSelectDlg page;
    page.SetDatabase(&db);
    HWND window = CreateDialogParamA(instance, "IDD_SELECT", parent, CDlg::StaticDlgProc,
                                     reinterpret_cast<LPARAM>(&page));
    if (!parent || !window) {
        std::printf("no page: error %lu\n", GetLastError());
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    HWND list = GetDlgItem(window, 2006);

    std::vector<double> refill, commit, both;
    for (int run = 0; run < kRuns; ++run) {
        const double t0 = Now();
        page.Refill();
        const double t1 = Now();
        for (int i = 0; i < kPrinters; i += 2) {
            LVITEMA item{};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
        }
        const double t2 = Now();
        page.Commit();
        const double t3 = Now();
        refill.push_back(t1 - t0);
        commit.push_back(t3 - t2);
        both.push_back((t1 - t0) + (t3 - t2));
        // What a user would see in between: the list painted.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    std::printf("%d offered printers, %d selected\n", static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)),
                page.SelectedCount());
    Report("Refill", refill);
    Report("Commit", commit);
    Report("Refill + Commit", both);
    DestroyWindow(window);
    DestroyWindow(parent);
    return 0;
}
