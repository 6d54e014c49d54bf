// A caller that registers no common controls and links no comctl32: loads
// the library, opens one dialog and closes it with OK from a timer.
//   bare_host.exe toner|maintenance [refuse|nomemory]
//   bare_host.exe unload|exit MARKER
// With "refuse" a hook refuses to create any dialog window; with "nomemory"
// the library's first allocation in the call fails. The exit code is 1000
// plus the export's result (999 for -1); 2 when the library, an export or
// a seam is missing, 3 when a dialog that should show never did, 4 when the
// allocation never failed.
// "unload" and "exit" stand in for the library's WSACleanup with one that
// writes MARKER, then unload the library, or end the process with it still
// loaded; the exit code is 0.
#include <windows.h>

#include <cstring>

#include "DialogScript.h"
#include "ImportPatch.h"
#include "common/Handles.h"

namespace {

const char* g_title = "";
bool g_shown = false;
const char* g_marker = "";

void CALLBACK CloseWithOk(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA(nullptr, g_title);
    if (!dialog || !IsWindowVisible(dialog))
        return;
    g_shown = true;
    KillTimer(nullptr, timer);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

int(WINAPI* g_cleanup)() = nullptr;

int WINAPI MarkCleanup()
{
    KernelHandle marker(CreateFileA(g_marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return g_cleanup();
}

// The library's sockets cleanup, seen at the unload or at the process's end.
int Cleanup(LoadedModule library, bool unload)
{
    ImportPatch patch(library.Get(), "ws2_32.dll", "WSACleanup", reinterpret_cast<const void*>(&MarkCleanup));
    if (!patch.Applied())
        return 2;
    g_cleanup = patch.Original<int(WINAPI*)()>();
    patch.Keep();
    if (unload)
        library.Close();
    else
        library.Detach(); // the process ends with the library in it
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    LoadedModule library(LoadLibraryA("P:\\SUPPLYUI64_Q.dll"));
    if (!library)
        return 2;
    const bool unload = std::strcmp(argv[1], "unload") == 0;
    if (unload || std::strcmp(argv[1], "exit") == 0) {
        if (argc < 3)
            return 2;
        g_marker = argv[2];
        return Cleanup(std::move(library), unload);
    }
    const bool toner = std::strcmp(argv[1], "toner") == 0;
    const bool refuse = argc > 2 && std::strcmp(argv[2], "refuse") == 0;
    const bool noMemory = argc > 2 && std::strcmp(argv[2], "nomemory") == 0;
    g_title = toner ? "Supplies Status" : "Maintenance";
    auto showToner = ProcAddress<TonerFn>(library.Get(), "TonerLevelDialogDoModal");
    auto showMaintenance = ProcAddress<VoltageFn>(library.Get(), "VoltageBiasDialogDoModal");
    if (!showToner || !showMaintenance)
        return 2;

    const DialogCreationHook hook([refuse] { return refuse; });
    AllocationFault fault(library.Get());
    if (noMemory) {
        if (!fault.Applied())
            return 2;
        fault.Arm();
    }
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseWithOk);
    int result = 0;
    if (toner) {
        TonerLevelInfo info = Info(60, 23, 4500);
        result = showToner(&info);
    } else {
        VoltageBiasSettings settings = Settings(1, "08:00 09:00");
        result = showMaintenance(&settings);
    }
    KillTimer(nullptr, timer);
    if (noMemory && !fault.Fired())
        return 4;
    if (!refuse && !noMemory && !g_shown)
        return 3;
    return 1000 + result;
}
