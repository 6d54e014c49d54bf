// removal_bench: how long the removal holds the window. Run it in a bed
// prepared by demo_machine.exe; it runs the whole program in-process (the
// loading, the first printer chosen, the eighteen steps) and prints how long
// each step ran inside its tick, and how long the page's folder lists take
// to build with and without the wait between a location's two resolutions.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "door/RealDoor.h"
#include "engine/FolderLists.h"
#include "app/MainDlg.h"
#include "app/Messages.h"
#include "common/AnsiLeadByte.h"
#include "res/resource.h"
#include "script/MessageBox.h"

namespace {

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

bool clicked = false;
void CALLBACK ChooseAndStart(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND main = FindWindowA(kMainWindowClass, nullptr);
    if (clicked || !main || !IsWindowVisible(main))
        return;
    for (HWND page = FindWindowExA(main, nullptr, "#32770", nullptr); page;
         page = FindWindowExA(main, page, "#32770", nullptr)) {
        HWND list = GetDlgItem(page, IDC_PRINTER_LIST);
        if (!list || SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 0)
            continue;
        LVITEMA item{};
        item.stateMask = item.state = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        clicked = true;
        KillTimer(nullptr, timer);
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_BTN_UNINSTALL, BN_CLICKED), 0);
        return;
    }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    UseAnsiCodePage();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterMainWindowClass(instance);

    for (DWORD settle : {100u, 0u}) {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            RealDoor door;
            RemovalState state{door};
            const double start = Now();
            FillFolderLists(state, settle);
            times.push_back(Now() - start);
        }
        std::printf("folder lists, %lu ms between resolutions: median %.1f ms (min %.1f, max %.1f)\n",
                    static_cast<unsigned long>(settle), Median(times), *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()));
    }

    // Each step's time inside its tick: from its start to the next step's,
    // less the 1 ms tick the bench asks for.
    CRemoveDlg::SetWaits(1, 100);
    std::vector<double> starts;
    std::vector<int> steps;
    RemovalSequence::ObserveSteps([&](int step) {
        starts.push_back(Now());
        steps.push_back(step);
        if (step == 17)
            PostMessageA(FindWindowA(kMainWindowClass, nullptr), WM_COMMAND, MAKEWPARAM(IDC_BTN_EXIT, BN_CLICKED), 0);
    });
    double finished = 0;
    SetMessageAnswerer([&](const char* text, const char*, UINT) {
        finished = Now();
        wchar_t wide[512] = {};
        char utf8[1024] = {};
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 512);
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
        std::printf("message: %s\n", utf8);
        return IDNO;
    });
    SetTimer(nullptr, 0, 100, ChooseAndStart);
    MainDlg main(SwitchList("prnuninst.exe"));
    DialogBoxParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&main));
    double longest = 0;
    for (size_t i = 0; i + 1 < starts.size(); ++i) {
        const double ms = starts[i + 1] - starts[i];
        longest = std::max(longest, ms);
        std::printf("step %2d: %7.1f ms\n", steps[i], ms);
    }
    if (!starts.empty() && finished > 0)
        std::printf("step 17: %7.1f ms to the completion message\n", finished - starts.back());
    std::printf("longest step (tick included): %.1f ms over %zu ticks\n", longest, steps.size());
    return 0;
}
