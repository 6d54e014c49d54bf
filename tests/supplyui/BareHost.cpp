// A caller that registers no common controls and links no comctl32: loads
// the library, opens one dialog and closes it with OK from a timer.
//   bare_host.exe toner|maintenance [refuse]
// With "refuse" a hook refuses to create any dialog window. The exit code is
// 1000 plus the export's result (999 for -1); 2 when the library or an export
// is missing, 3 when a dialog that was not refused never showed.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "common/Handles.h"

namespace {

struct TonerLevelInfo {
    std::int32_t TonerLevel;
    std::uint8_t Unused[24];
    std::int32_t Threshold;
    std::int32_t Capacity;
};

struct VoltageBiasSettings {
    std::uint32_t MidnightMode;
    char TimeWindow[12];
};

const char* g_title = "";
bool g_shown = false;

void CALLBACK CloseWithOk(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA(nullptr, g_title);
    if (!dialog || !IsWindowVisible(dialog))
        return;
    g_shown = true;
    KillTimer(nullptr, timer);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

LRESULT CALLBACK RefuseDialogs(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char name[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        if (std::strcmp(name, "#32770") == 0)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct HookTraits {
    static HHOOK Invalid() { return nullptr; }
    static bool Valid(HHOOK h) { return h != nullptr; }
    static bool Close(HHOOK h) { return UnhookWindowsHookEx(h) != FALSE; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    LoadedModule library(LoadLibraryA("P:\\SUPPLYUI64_Q.dll"));
    const bool toner = std::strcmp(argv[1], "toner") == 0;
    const bool refuse = argc > 2 && std::strcmp(argv[2], "refuse") == 0;
    g_title = toner ? "Supplies Status" : "Maintenance";
    auto showToner = ProcAddress<int(WINAPI*)(TonerLevelInfo*)>(library.Get(), "TonerLevelDialogDoModal");
    auto showMaintenance =
        ProcAddress<int(WINAPI*)(VoltageBiasSettings*)>(library.Get(), "VoltageBiasDialogDoModal");
    if (!showToner || !showMaintenance)
        return 2;

    UniqueHandle<HHOOK, HookTraits> hook;
    if (refuse)
        hook.Attach(SetWindowsHookExA(WH_CBT, RefuseDialogs, nullptr, GetCurrentThreadId()));
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseWithOk);
    int result = 0;
    if (toner) {
        TonerLevelInfo info{};
        info.TonerLevel = 60;
        info.Threshold = 23;
        info.Capacity = 4500;
        result = showToner(&info);
    } else {
        VoltageBiasSettings settings{1, "08:00 09:00"};
        result = showMaintenance(&settings);
    }
    KillTimer(nullptr, timer);
    if (!refuse && !g_shown)
        return 3;
    return 1000 + result;
}
