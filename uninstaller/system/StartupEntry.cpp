#include "StartupEntry.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../common/Journal.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kLoadLineSize = 256;

int AddToRunKey(const char* valueName, const char* command)
{
    const std::string item = std::string("HKLM\\") + kRunKey + "\\" + (valueName ? valueName : "");
    if (journal::WouldChange(journal::op::kStartupEntry, item.c_str(), "add"))
        return 1;
    HKEY opened = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &opened) != ERROR_SUCCESS)
        return 0;
    RegistryKey key(opened);
    const DWORD size = static_cast<DWORD>(std::strlen(command) + 1);
    const LONG result = RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), size);
    if (result != ERROR_SUCCESS) {
        journal::Failed(journal::op::kStartupEntry, item.c_str(), static_cast<DWORD>(result));
        return 0;
    }
    journal::Changed(journal::op::kStartupEntry, item.c_str(), "added");
    return 1;
}

int AddToLoadLine(const char* command)
{
    char line[kLoadLineSize] = {};
    GetProfileStringA("windows", "Load", "", line, kLoadLineSize);
    if (std::strstr(line, command))
        return 1;
    const std::string item = std::string("win.ini [windows] load ") + command;
    if (journal::WouldChange(journal::op::kStartupEntry, item.c_str(), "add"))
        return 1;
    // Never cut: the profile line holds 255 characters at most.
    if (!text::AppendWhole(line, " ") || !text::AppendWhole(line, command))
        return 0;
    if (!WriteProfileStringA("windows", "Load", line)) {
        journal::Failed(journal::op::kStartupEntry, item.c_str(), GetLastError());
        return 0;
    }
    journal::Changed(journal::op::kStartupEntry, item.c_str(), "added");
    return 1;
}

} // namespace

int AddStartupEntry(const char* valueName, const char* command, const PlatformKind& platform)
{
    if (!command)
        return 0;
    return platform.isWin32s() ? AddToLoadLine(command) : AddToRunKey(valueName, command);
}
