#include "StayingComponents.h"

#include <windows.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>

#include "../common/AnsiLeadByte.h"
#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/Journal.h"
#include "DriverFileNames.h"

namespace {

constexpr char kPrintKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\";

// Appends the "Driver" value of every subkey of `path`: the library of each
// monitor or print processor registered there, with why it stays. A subkey
// this run took away (in a dry run: would have) registers nothing. False
// when the key is there but can't be read; a missing key has nothing in it.
bool AddLibrariesUnder(const Door& door, const std::string& path, const char* owner, ItemList& files,
                       ItemList& reasons)
{
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    const RegistryKey key{opened};
    for (DWORD index = 0;; ++index) {
        char name[text::kMaxText] = {};
        DWORD nameSize = sizeof name;
        const LONG found = RegEnumKeyExA(key.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS)
            return true;
        if (found != ERROR_SUCCESS)
            return false;
        if (door.KeyGone(("HKLM\\" + path + "\\" + name).c_str()))
            continue;
        char library[text::kMaxText] = {};
        DWORD size = sizeof library - 1;
        if (RegGetValueA(key.Get(), name, "Driver", RRF_RT_REG_SZ, nullptr, library, &size) != ERROR_SUCCESS)
            continue;
        const std::string_view path(library);
        const std::size_t separator = text::LastSeparator(path, AnsiLeadByte);
        if (path.empty())
            continue;
        files.emplace_back(separator == std::string_view::npos ? path : path.substr(separator + 1));
        reasons.push_back(journal::Reason("the library of %s \"%s\"", owner, name));
    }
}

} // namespace

void ReadStayingDriverFiles(RemovalState& state)
{
    state.StayingDriverFilesRead = true;
    state.StayingDriverFiles.reset();
    state.StayingDriverFileReasons.clear();
    ItemList files;
    ItemList reasons;
    // What this run took away (in a dry run: would have) lists nothing
    // that stays.
    for (const char* environment : AllDriverEnvironments()) {
        const auto gone = [&](const char* driver) { return state.Changes.DriverGone(environment, driver); };
        DriverFileNames drivers(environment);
        ItemList owners;
        const bool listed = drivers.AllFiles(files, owners, gone);
        for (const std::string& owner : owners)
            reasons.push_back(journal::Reason("listed by installed driver \"%s\"", owner.c_str()));
        // A spooler without that environment has no driver in it.
        if (!listed && drivers.Error() != ERROR_INVALID_ENVIRONMENT)
            return;
    }
    // The monitors and print processors that stay load their libraries
    // too; those that go are no longer registered by now.
    if (!AddLibrariesUnder(state.Changes, std::string(kPrintKey) + "Monitors", "port monitor", files, reasons))
        return;
    for (const char* environment : AllDriverEnvironments())
        if (!AddLibrariesUnder(state.Changes,
                               std::string(kPrintKey) + "Environments\\" + EnvironmentKeyName(environment) +
                                   "\\Print Processors",
                               "print processor", files, reasons))
            return;
    // Sorted and unique by name, each with the reason of its first lister.
    std::vector<std::size_t> order(files.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return text::FoldCompare(files[a], files[b]) < 0; });
    ItemList names;
    for (const std::size_t i : order) {
        if (!names.empty() && text::FoldCompare(names.back(), files[i]) == 0)
            continue;
        names.push_back(std::move(files[i]));
        state.StayingDriverFileReasons.push_back(std::move(reasons[i]));
    }
    state.StayingDriverFiles = std::move(names);
}

