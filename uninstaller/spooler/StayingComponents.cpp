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
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "../common/TwoCall.h"
#include "DriverFileNames.h"
#include "../script/LoadLine.h"

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

constexpr char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr char kSharedDlls32[] = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Sorted and unique by name, each with the reason of its first lister.
void Merge(RemovalState& state, ItemList& files, ItemList& reasons)
{
    std::vector<std::size_t> order(files.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return text::FoldCompare(files[a], files[b]) < 0; });
    ItemList names;
    ItemList why;
    for (const std::size_t i : order) {
        if (!names.empty() && text::FoldCompare(names.back(), files[i]) == 0)
            continue;
        names.push_back(std::move(files[i]));
        why.push_back(std::move(reasons[i]));
    }
    state.StayingDriverFiles = std::move(names);
    state.StayingDriverFileReasons = std::move(why);
}

void AddProgram(ItemList& files, ItemList& reasons, std::string_view command, const std::string& reason)
{
    for (std::string& name : CommandProgramNames(command)) {
        files.push_back(std::move(name));
        reasons.push_back(reason);
    }
}

// The programs of the services still installed, kernel drivers too. False
// when they can't be listed.
bool AddServicePrograms(const Door& door, ItemList& files, ItemList& reasons)
{
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ENUMERATE_SERVICE)};
    if (!manager)
        return false;
    DWORD returned = 0;
    DWORD resume = 0;
    const auto listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        resume = 0;
        return EnumServicesStatusExA(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER,
                                     SERVICE_STATE_ALL, data, size, needed, &returned, &resume, nullptr) != FALSE;
    });
    if (!listed)
        return false;
    const auto* services = listed->empty() ? nullptr : reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(listed->data());
    for (DWORD i = 0; services && i < returned; ++i) {
        const char* name = services[i].lpServiceName;
        if (!name || door.Gone(journal::op::kService, name))
            continue;
        ServiceHandle service{OpenServiceA(manager.Get(), name, SERVICE_QUERY_CONFIG)};
        const auto config = service ? QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
            return QueryServiceConfigA(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(data), size,
                                       needed) != FALSE;
        })
                                    : std::nullopt;
        // One gone since the listing needs nothing; one that can't be read
        // may need anything.
        if (!config || config->empty()) {
            if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
                continue;
            return false;
        }
        const char* image = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(config->data())->lpBinaryPathName;
        if (image && *image)
            AddProgram(files, reasons, image, journal::Reason("the program of service \"%s\"", name));
        // A service that a shared host process runs names its library apart,
        // under Parameters or in its own key: either may be read.
        const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
        for (const std::string& where : {key + "\\Parameters", key}) {
            const RegistryText library = ReadRegistryText(HKEY_LOCAL_MACHINE, where.c_str(), "ServiceDll");
            if (library.Text && !library.Text->empty())
                AddProgram(files, reasons, "\"" + *library.Text + "\"",
                           journal::Reason("the library of service \"%s\"", name));
        }
    }
    return true;
}

// The programs the Run keys that this run leaves still start: the
// machine's, in both views, and every user's.
void AddStartupPrograms(RemovalState& state, ItemList& files, ItemList& reasons)
{
    const Door& door = state.Changes;
    struct RunKey {
        HKEY root;
        std::string name; // as the journal names the hive
        std::string path;
        std::string opened; // the path opened below the root
    };
    constexpr char kUserRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::vector<RunKey> keys = {
        {HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
         "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {HKEY_CURRENT_USER, "HKCU", kUserRun, kUserRun},
    };
    for (const UserHive& hive : state.Users.Others())
        keys.push_back({HKEY_USERS, hive.Item, kUserRun, hive.Key + "\\" + kUserRun});
    for (const RunKey& run : keys) {
        const RegistryKey key = OpenKey(run.root, run.opened.c_str(), KEY_QUERY_VALUE);
        for (DWORD index = 0; key; ++index) {
            char name[text::kMaxText] = {};
            DWORD nameSize = sizeof name;
            const LONG found = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
            if (found == ERROR_NO_MORE_ITEMS)
                break;
            const std::string item = run.name + "\\" + run.path + "\\" + name;
            if (found != ERROR_SUCCESS || door.Gone(journal::op::kStartupEntry, item.c_str()))
                continue;
            // Read whole, however long the command.
            const RegistryText command = ReadRegistryText(key.Get(), nullptr, name);
            if (command.Text)
                AddProgram(files, reasons, *command.Text, journal::Reason("started by %s", item.c_str()));
        }
    }
}

// Shared files whose count says another program still uses them.
void AddSharedFilesOf(const char* path, ItemList& files, ItemList& reasons)
{
    const RegistryKey key = OpenKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE);
    for (DWORD index = 0; key; ++index) {
        char path[text::kMaxText] = {};
        DWORD pathSize = sizeof path;
        DWORD count = 0;
        DWORD size = sizeof count;
        DWORD type = 0;
        const LONG found = RegEnumValueA(key.Get(), index, path, &pathSize, nullptr, &type,
                                         reinterpret_cast<BYTE*>(&count), &size);
        if (found == ERROR_NO_MORE_ITEMS)
            break;
        if (found != ERROR_SUCCESS || type != REG_DWORD || count <= 1)
            continue;
        const std::string_view shared(path);
        const std::size_t separator = text::LastSeparator(shared, AnsiLeadByte);
        files.emplace_back(separator == std::string_view::npos ? shared : shared.substr(separator + 1));
        reasons.push_back(journal::Reason("shared by %lu programs", static_cast<unsigned long>(count)));
    }
}

void AddSharedFiles(ItemList& files, ItemList& reasons)
{
    for (const char* view : {kSharedDlls, kSharedDlls32})
        AddSharedFilesOf(view, files, reasons);
}

} // namespace

void ReadStayingPrograms(RemovalState& state)
{
    if (!state.StayingDriverFiles)
        return;
    ItemList files = *state.StayingDriverFiles;
    ItemList reasons = state.StayingDriverFileReasons;
    reasons.resize(files.size());
    if (!AddServicePrograms(state.Changes, files, reasons)) {
        state.StayingDriverFiles.reset();
        state.StayingUnknownReason = "the installed services could not be listed";
        return;
    }
    // A user whose hive could not be read may start any of them.
    if (const std::vector<std::string>& unread = state.Users.Unreachable(); !unread.empty()) {
        state.StayingDriverFiles.reset();
        state.StayingUnknownReason =
            journal::Reason("the programs that user %s starts could not be read", unread.front().c_str());
        return;
    }
    AddStartupPrograms(state, files, reasons);
    AddSharedFiles(files, reasons);
    Merge(state, files, reasons);
}

void ReadStayingDriverFiles(RemovalState& state)
{
    state.StayingDriverFilesRead = true;
    state.StayingDriverFiles.reset();
    state.StayingDriverFileReasons.clear();
    state.StayingUnknownReason = "the installed drivers could not be listed";
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
    state.StayingUnknownReason = "the port monitors or print processors could not be listed";
    if (!AddLibrariesUnder(state.Changes, std::string(kPrintKey) + "Monitors", "port monitor", files, reasons))
        return;
    for (const char* environment : AllDriverEnvironments())
        if (!AddLibrariesUnder(state.Changes,
                               std::string(kPrintKey) + "Environments\\" + EnvironmentKeyName(environment) +
                                   "\\Print Processors",
                               "print processor", files, reasons))
            return;
    Merge(state, files, reasons);
}

