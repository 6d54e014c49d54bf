#include "StartupEntry.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "../common/Journal.h"
#include "../common/Text.h"
#include "../door/Door.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kLoadLineSize = 256;

int AddToRunKey(Door& door, const char* valueName, const char* command)
{
    const std::string item = std::string("HKLM\\") + kRunKey + "\\" + (valueName ? valueName : "");
    return door.SetRegistryText(journal::op::kStartupEntry, item.c_str(), HKEY_LOCAL_MACHINE, kRunKey, valueName,
                                command)
               ? 1
               : 0;
}

int AddToLoadLine(Door& door, const char* command)
{
    char line[kLoadLineSize] = {};
    GetProfileStringA("windows", "Load", "", line, kLoadLineSize);
    if (std::strstr(line, command))
        return 1;
    const std::string item = std::string("win.ini [windows] load ") + command;
    // Never cut: the profile line holds 255 characters at most.
    if (!text::AppendWhole(line, " ") || !text::AppendWhole(line, command))
        return 0;
    return door.WriteProfileLine(journal::op::kStartupEntry, item.c_str(), "windows", "Load", line, false) ? 1 : 0;
}

} // namespace

int AddStartupEntry(Door& door, const char* valueName, const char* command, const PlatformKind& platform)
{
    if (!command)
        return 0;
    return platform.isWin32s() ? AddToLoadLine(door, command) : AddToRunKey(door, valueName, command);
}
