#include "StartupEntry.h"

#include <windows.h>

#include <cstring>

#include "../common/Handles.h"
#include "../common/Text.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kLoadLineSize = 256;

int AddToRunKey(const char* valueName, const char* command)
{
    HKEY opened = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &opened) != ERROR_SUCCESS)
        return 0;
    RegistryKey key(opened);
    const DWORD size = static_cast<DWORD>(std::strlen(command) + 1);
    return RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), size) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

int AddToLoadLine(const char* command)
{
    char line[kLoadLineSize] = {};
    GetProfileStringA("windows", "Load", "", line, kLoadLineSize);
    if (std::strstr(line, command))
        return 1;
    // Never cut: the profile line holds 255 characters at most.
    if (!text::AppendWhole(line, " ") || !text::AppendWhole(line, command))
        return 0;
    return WriteProfileStringA("windows", "Load", line) ? 1 : 0;
}

} // namespace

int AddStartupEntry(const char* valueName, const char* command, const PlatformKind& platform)
{
    if (!command)
        return 0;
    return platform.isWin32s() ? AddToLoadLine(command) : AddToRunKey(valueName, command);
}
