// Step 14's deletion of the INF copies that name the driver of the last
// printer the removal opened.

#include <windows.h>

#include <cstdio>

#include "../app/RemovalOperations.h"
#include "../common/Handles.h"
#include "../spooler/DriverRemoval.h"
#include "OemInf.h"

namespace {

// The driver of the INF files to delete, or nullptr when there are none to
// delete: no driver recorded, or the driver is still installed (its files
// are still needed), or the spooler can't say which.
const char* DriverToForget(const RemovalState& state)
{
    if (state.CurrentDriver[0] == '\0')
        return nullptr;
    const std::optional<bool> installed = DriverStillInstalled(state.CurrentDriver);
    if (!installed || *installed)
        return nullptr;
    return state.CurrentDriver;
}

bool WindowsDirectory(char (&out)[text::kMaxText])
{
    FileSpec windows;
    windows.Resolve(location::WindowsDirectory);
    return text::CopyWhole(out, windows.Compose()) && out[0] != '\0';
}

// Calls `found` with the full path and name of each file the pattern
// (a printf format of the Windows directory) matches.
template <typename Found>
void ForEachFile(const char* windows, const char* pattern, const char* pathFormat, Found found)
{
    char search[text::kMaxText] = {};
    const int n = std::snprintf(search, sizeof search, pattern, windows);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof search)
        return;
    WIN32_FIND_DATAA data{};
    FindHandle find(FindFirstFileA(search, &data));
    if (!find)
        return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        char path[text::kMaxText] = {};
        const int m = std::snprintf(path, sizeof path, pathFormat, windows, data.cFileName);
        if (m > 0 && static_cast<std::size_t>(m) < sizeof path)
            found(path);
    } while (FindNextFileA(find.Get(), &data));
}

} // namespace

void DeleteOemInfFiles(RemovalState& state)
{
    const char* driver = DriverToForget(state);
    const std::optional<ItemList> staying = DriversStillOnMachine();
    char windows[text::kMaxText] = {};
    if (!driver || !staying || !WindowsDirectory(windows))
        return;
    ForEachFile(windows, "%s\\inf\\oem*.inf", "%s\\inf\\%s", [&](const char* path) {
        if (!InfNamesDriver(path, driver, 255) || InfNamesAnyOther(path, driver, *staying, 255))
            return;
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    });
}

void DeleteWin9xOemInfFiles(RemovalState& state)
{
    const char* driver = DriverToForget(state);
    const std::optional<ItemList> staying = DriversStillOnMachine();
    char windows[text::kMaxText] = {};
    if (!driver || !staying || !WindowsDirectory(windows))
        return;
    ForEachFile(windows, "%sinf\\other\\QUORVELM9x____*.inf", "%sinf\\other\\%s", [&](const char* path) {
        if (!InfNamesDriver(path, driver, 255) || InfNamesAnyOther(path, driver, *staying, 255))
            return;
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name",
                          0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
            return;
        RegistryKey key(opened);
        RegDeleteValueA(key.Get(), path);
    });
}
