#include "DriverInfFiles.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../system/OemInf.h"
#include "DriverRemoval.h"

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

// The name Windows 9x's setup recorded for the file goes with it.
void ForgetOemName(RemovalState& state, const char* path)
{
    if (!ValueExists(HKEY_LOCAL_MACHINE, kOemNameKey, path))
        return;
    const std::string item = std::string("HKLM\\") + kOemNameKey + "\\" + path;
    state.Changes.DeleteRegistryValue(kRegistryValue, item.c_str(), HKEY_LOCAL_MACHINE, kOemNameKey, path);
}

// Deletes the INF copies that name the driver of the last printer the
// removal opened, unless that driver is still installed (its files are still
// needed), another driver that stays is named too, or the spooler can't say.
void DeleteInfFilesOfDriver(RemovalState& state, const char* pattern, const char* pathFormat, bool win9x)
{
    const char* driver = state.CurrentDriver;
    char windows[text::kMaxText] = {};
    if (driver[0] == '\0')
        return;
    const std::optional<bool> installed = DriverStillInstalled(state.Changes, driver);
    const std::optional<ItemList> staying = DriversStillOnMachine(state);
    if (!WindowsDirectory(windows))
        return;
    std::string keep;
    if (!installed || !staying)
        keep = "the installed drivers could not be listed";
    else if (*installed)
        keep = journal::Reason("its driver \"%s\" is still installed", driver);
    ForEachFile(windows, pattern, pathFormat, [&](const char* path) {
        // A file this run took already is no longer found by the real run.
        if (state.Changes.Gone(journal::op::kFile, path) || !InfNamesDriver(path, driver, 255))
            return;
        if (!keep.empty()) {
            journal::Kept(kOemInf, path, keep.c_str());
            return;
        }
        if (InfNamesAnyOther(path, driver, *staying, 255)) {
            journal::Kept(kOemInf, path, "names another installed driver too");
            return;
        }
        if (state.Changes.DeleteFileNow(kOemInf, path) == FileFate::NotThere)
            return;
        if (win9x)
            ForgetOemName(state, path);
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
