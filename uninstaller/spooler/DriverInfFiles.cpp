#include "DriverInfFiles.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../system/OemInf.h"
#include "../common/DriverEnvironments.h"
#include "DriverPackages.h"
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

// Every installed driver of every environment with the package it came
// from, less those this run took; nothing when a listing fails.
std::optional<std::vector<DriverPackage>> InstalledPackages(const Door& door)
{
    std::vector<DriverPackage> all;
    for (const char* environment : AllDriverEnvironments()) {
        std::optional<std::vector<DriverPackage>> listed = ListDriverPackages(environment);
        if (!listed)
            return std::nullopt;
        for (DriverPackage& package : *listed) {
            if (!door.DriverGone(environment, package.Driver.c_str()))
                all.push_back(std::move(package));
        }
    }
    return all;
}

// With a driver store, a package goes only when it is the one the driver
// came from, and no installed driver of any environment comes from it or
// can't tell where it came from. Empty when it may go.
std::string PackageKeepReason(const std::string& inf, const char* driverName, const std::optional<std::string>& package,
                              const std::optional<std::vector<DriverPackage>>& installed)
{
    if (!package || package->empty())
        return journal::Reason("the package driver \"%s\" came from could not be read", driverName);
    if (!text::FoldEqual(inf, *package))
        return journal::Reason("driver \"%s\" came from %s", driverName, package->c_str());
    if (!installed)
        return "the packages of the installed drivers could not be read";
    for (const DriverPackage& other : *installed) {
        if (text::FoldEqual(other.Inf, inf))
            return journal::Reason("driver \"%s\" comes from it too", other.Driver.c_str());
        if (other.Inf.empty())
            return journal::Reason("the package driver \"%s\" came from could not be read", other.Driver.c_str());
    }
    return {};
}

} // namespace

void UninstallOemInfsOf(RemovalState& state, const char* driverName, const std::optional<std::string>& package)
{
    // An INF that also names a driver the machine keeps installed its files
    // too. A copy of the driver in another environment still needs it too:
    // the pass that deletes the last copy uninstalls it.
    const std::optional<ItemList> staying = DriversStillOnMachine(state);
    if (!staying || HoldsItem(*staying, driverName))
        return;
    char windows[text::kMaxText] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return;
    const bool driverStore = HasDriverStore(state.Platform);
    const std::optional<std::vector<DriverPackage>> installed =
        driverStore ? InstalledPackages(state.Changes) : std::nullopt;
    for (const std::string& inf : OemInfsNaming(state.Changes, driverName)) {
        char path[text::kMaxText] = {};
        const int n = std::snprintf(path, sizeof path, "%s\\INF\\%s", windows, inf.c_str());
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path)
            continue;
        const std::string keep = driverStore ? PackageKeepReason(inf, driverName, package, installed)
                                 : InfNamesAnyOther(path, driverName, *staying, 1024)
                                     ? std::string("names an installed driver that stays too")
                                     : std::string();
        if (!keep.empty()) {
            journal::Kept(kOemInf, path, keep.c_str());
            continue;
        }
        state.Changes.UninstallOemInf(path, inf.c_str());
    }
}

void DeleteOemInfFiles(RemovalState& state)
{
    if (!HasDriverStore(state.Platform)) {
        DeleteInfFilesOfDriver(state, "%sinf\\oem*.inf", "%sinf\\%s", false);
        return;
    }
    // A published INF is a package of the driver store: deleted as a file it
    // would leave the package and its registration behind. The driver step
    // has decided the packages of each driver it deleted; another driver's
    // package is uninstalled only when the spooler still says where it came
    // from, which it does only while the driver is installed, and then the
    // driver needs it.
    const char* driver = state.CurrentDriver;
    if (driver[0] == '\0')
        return;
    for (const RemovalState::RemovedDriver& removed : state.RemovedDrivers) {
        if (text::FoldEqual(removed.Name, driver))
            return;
    }
    const std::optional<bool> installed = DriverStillInstalled(state.Changes, driver);
    if (installed && *installed) {
        char windows[text::kMaxText] = {};
        const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
        if (length == 0 || length >= sizeof windows)
            return;
        for (const std::string& inf : OemInfsNaming(state.Changes, driver)) {
            const std::string path = std::string(windows) + "\\INF\\" + inf;
            journal::Kept(kOemInf, path.c_str(), journal::Reason("its driver \"%s\" is still installed", driver).c_str());
        }
        return;
    }
    UninstallOemInfsOf(state, driver, std::nullopt);
}

void DeleteWin9xOemInfFiles(RemovalState& state)
{
    DeleteInfFilesOfDriver(state, "%sinf\\other\\QUORVELM9x____*.inf", "%sinf\\other\\%s", true);
}
