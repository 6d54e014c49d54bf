// Stand-in for an add-on component's uninstall library, never shipped. Its
// entry point HookEntry appends one line to the file that HOOK_STANDIN_LOG
// names: the path it was loaded from, the window, the instance, the command
// line, the show command and the current directory, separated by '|'.
#include <windows.h>

#include <cstdio>

namespace {
HMODULE self = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) void CALLBACK HookEntry(HWND window, HINSTANCE instance, LPSTR commandLine,
                                                         int show)
{
    char log[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("HOOK_STANDIN_LOG", log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    char module[MAX_PATH] = {};
    GetModuleFileNameA(self, module, MAX_PATH);
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    if (FILE* f = std::fopen(log, "ab")) {
        std::fprintf(f, "%s|%p|%p|%s|%d|%s\n", module, static_cast<void*>(window), static_cast<void*>(instance),
                     commandLine ? commandLine : "(null)", show, current);
        std::fclose(f);
    }
}
