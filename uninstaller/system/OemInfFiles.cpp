// Step 14's deletion of the INF copies that name the driver of the last
// printer the removal opened.

#include <windows.h>

#include <cstdio>
#include <string>

#include "../app/RemovalOperations.h"
#include "../common/Handles.h"
#include "../spooler/DriverRemoval.h"
#include "../common/Journal.h"
#include "OemInf.h"

namespace {

using namespace journal::op;

constexpr char kOemNameKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name";

// With its trailing backslash, so that each path has one spelling.
bool WindowsDirectory(char (&out)[text::kMaxText])
{
    FileSpec windows;
    windows.Resolve(location::WindowsDirectory);
    return text::CopyWhole(out, windows.Compose()) && out[0] != '\0' &&
           (text::EndsWithSeparator(out, text::IsLeadByte) || text::AppendWhole(out, "\\"));
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

void ForgetOemName(const char* path)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOemNameKey, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return;
    RegistryKey key(opened);
    if (RegDeleteValueA(key.Get(), path) == ERROR_SUCCESS)
        journal::Removed(kRegistryValue, (std::string("HKLM\\") + kOemNameKey + "\\" + path).c_str());
}

// Deletes the INF copies that name the driver of the last printer the
// removal opened, unless that driver is still installed (its files are still
// needed), another driver that stays is named too, or the spooler can't say.
void DeleteInfFilesOfDriver(const RemovalState& state, const char* pattern, const char* pathFormat, bool win9x)
{
    const char* driver = state.CurrentDriver;
    char windows[text::kMaxText] = {};
    if (driver[0] == '\0')
        return;
    std::optional<bool> installed = DriverStillInstalled(driver);
    // A dry run leaves installed what it would remove.
    if (installed && *installed && journal::Gone(kDriver, driver))
        installed = false;
    std::optional<ItemList> staying = DriversStillOnMachine();
    if (staying)
        std::erase_if(*staying, [](const std::string& name) { return journal::Gone(kDriver, name.c_str()); });
    if (!WindowsDirectory(windows))
        return;
    std::string keep;
    if (!installed || !staying)
        keep = "the installed drivers could not be listed";
    else if (*installed)
        keep = journal::Reason("its driver \"%s\" is still installed", driver);
    ForEachFile(windows, pattern, pathFormat, [&](const char* path) {
        if (!InfNamesDriver(path, driver, 255))
            return;
        if (!keep.empty()) {
            journal::Kept(kOemInf, path, keep.c_str());
            return;
        }
        if (InfNamesAnyOther(path, driver, *staying, 255)) {
            journal::Kept(kOemInf, path, "names another installed driver too");
            return;
        }
        if (journal::WouldRemove(kOemInf, path))
            return;
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileA(path)) {
            journal::Removed(kOemInf, path);
        } else {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                journal::NotPresent(kOemInf, path);
            else
                journal::Failed(kOemInf, path, error);
        }
        if (win9x)
            ForgetOemName(path);
    });
}

} // namespace

void DeleteOemInfFiles(RemovalState& state)
{
    DeleteInfFilesOfDriver(state, "%sinf\\oem*.inf", "%sinf\\%s", false);
}

void DeleteWin9xOemInfFiles(RemovalState& state)
{
    DeleteInfFilesOfDriver(state, "%sinf\\other\\QUORVELM9x____*.inf", "%sinf\\other\\%s", true);
}
