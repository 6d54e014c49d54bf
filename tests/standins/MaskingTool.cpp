// Stand-in for the masking product's tool, never shipped. It writes the
// command line it was given to "<its own path>.args", stays for the time in
// milliseconds that MASKING_TOOL_MS gives (1500 without it), then writes
// "<its own path>.done" and ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Write(const std::string& path, const char* text)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fputs(text, f);
        std::fclose(f);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    Write(std::string(self) + ".args", GetCommandLineA());
    char wait[32] = {};
    const DWORD n = GetEnvironmentVariableA("MASKING_TOOL_MS", wait, sizeof wait);
    Sleep(n > 0 && n < sizeof wait ? static_cast<DWORD>(std::strtoul(wait, nullptr, 10)) : 1500);
    Write(std::string(self) + ".done", "done");
    return 0;
}
