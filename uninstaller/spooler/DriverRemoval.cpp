#include "DriverRemoval.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../app/RemovalOperations.h"
#include "../common/Journal.h"
#include "../system/OemInf.h"
#include "Environment.h"
#include "PrinterHandle.h"

namespace {

// The environments of the removal step, in its order.
const char* const kEnvironments[] = {nullptr, "Windows NT x86", "Windows 4.0"};

// More rounds than any machine has OEM INF files of one driver: an
// uninstall that reports success but leaves the file must not hold the
// removal in this tick for ever.
constexpr int kMaxInfRounds = 64;

// Every queue and connection with its driver; in a dry run without those
// the removal would have deleted.
struct PrinterOnDriver {
    std::string Printer;
    std::string Driver;
};

std::optional<std::vector<PrinterOnDriver>> InstalledPrintersAndDrivers()
{
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, returned = 0;
    if (!EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return std::nullopt;
    std::vector<PrinterOnDriver> found;
    if (needed == 0)
        return found;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &returned))
        return std::nullopt;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        const char* name = printers[i].pPrinterName ? printers[i].pPrinterName : "";
        if (!printers[i].pDriverName || journal::Gone(journal::op::kPrinter, name) ||
            journal::Gone(journal::op::kConnection, name))
            continue;
        found.push_back({name, printers[i].pDriverName});
    }
    return found;
}

// The drivers of one environment as the spooler lists them, whatever a dry
// run took away: each environment's copy is decided on its own.
std::optional<ItemList> ListedDrivers(const char* environment)
{
    char* env = const_cast<char*>(environment);
    DWORD needed = 0, returned = 0;
    if (!EnumPrinterDriversA(nullptr, env, 2, nullptr, 0, &needed, &returned)) {
        const DWORD error = GetLastError();
        // A spooler that has no such environment has no driver in it.
        if (error == ERROR_INVALID_ENVIRONMENT)
            return ItemList{};
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return std::nullopt;
    }
    ItemList names;
    if (needed == 0)
        return names;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversA(nullptr, env, 2, buffer.data(), needed, &needed, &returned))
        return std::nullopt;
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        if (drivers[i].pName)
            names.emplace_back(drivers[i].pName);
    }
    return names;
}

void AddCandidates(ItemList& candidates, const DatabaseContent& db, const char* enumerated)
{
    for (const std::string& d : db.Merged.Drivers)
        candidates.push_back(d);
    for (const CActivePrinter& p : db.Printers) {
        if (p.ToRemove != 1 || p.Foreign)
            continue;
        bool staysOnIt = false;
        for (const CActivePrinter& other : db.Printers) {
            if (other.ToRemove == 0 && text::FoldEqual(other.DriverName, p.DriverName))
                staysOnIt = true;
        }
        if (!staysOnIt)
            candidates.push_back(p.DriverName);
    }
    // A PostScript driver of the masking product goes with it, unless a queue
    // of that very name is still there.
    if (db.VeltropeSpared == 0 && std::strstr(enumerated, "(PSCRIPT)")) {
        HANDLE opened = nullptr;
        const bool queueThere = OpenPrinterA(const_cast<char*>(enumerated), &opened, nullptr) != FALSE;
        const PrinterHandle queue(queueThere ? opened : nullptr);
        if (!queueThere)
            candidates.push_back(enumerated);
    }
    SortAndUniqueItems(candidates);
}

void AppendDriverKeys(RemovalState& state, const char* environment, const char* driverName)
{
    UninstallProfile& merged = state.Database->Merged;
    if (state.Platform.isWin9x()) {
        std::string key = "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers\\";
        key += driverName;
        AddRegistryKey(merged, HKEY_LOCAL_MACHINE, key.c_str(), "", false);
        return;
    }
    if (!state.Platform.isNT())
        return;
    static const char* const kVersions[] = {"Version-0\\", "Version-1\\", "Version-2\\", "Version-3\\"};
    for (const char* version : kVersions) {
        std::string key = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";
        key += (environment && *environment) ? environment : kRunningEnvironment;
        key += "\\Drivers\\";
        key += version;
        key += driverName;
        AddRegistryKey(merged, HKEY_LOCAL_MACHINE, key.c_str(), "", false);
    }
}

void UninstallOemInfsOf(const char* driverName)
{
    // An INF that also names a driver the machine keeps installed its files
    // too; the search would find it first again, so the search ends there.
    // A copy of the driver in another environment still needs it too: the
    // pass that deletes the last copy uninstalls it.
    const std::optional<ItemList> staying = DriversStillOnMachine();
    if (!staying || HoldsItem(*staying, driverName))
        return;
    char windows[text::kMaxText] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return;
    char inf[20] = {};
    char previous[20] = {};
    for (int round = 0; round < kMaxInfRounds; ++round) {
        FindOemInfForPrinter(inf, driverName);
        if (!inf[0] || std::strcmp(inf, previous) == 0)
            break;
        char path[text::kMaxText] = {};
        const int n = std::snprintf(path, sizeof path, "%s\\INF\\%s", windows, inf);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path)
            break;
        if (InfNamesAnyOther(path, driverName, *staying, 1024)) {
            journal::Kept(journal::op::kOemInf, path, "names an installed driver that stays too");
            break;
        }
        text::CopyWhole(previous, inf);
        // The search passes over a file a dry run has already taken.
        if (journal::WouldRemove(journal::op::kOemInf, path))
            continue;
        // A file that can't be uninstalled would be found again and again.
        if (UninstallOemInf(inf) == 2) {
            journal::Failed(journal::op::kOemInf, path, GetLastError());
            break;
        }
        journal::Removed(journal::op::kOemInf, path);
    }
}

} // namespace

std::optional<ItemList> DriversOfInstalledPrinters()
{
    const std::optional<std::vector<PrinterOnDriver>> printers = InstalledPrintersAndDrivers();
    if (!printers)
        return std::nullopt;
    ItemList names;
    for (const PrinterOnDriver& p : *printers)
        names.push_back(p.Driver);
    return names;
}

std::optional<ItemList> InstalledDrivers(const char* environment)
{
    std::optional<ItemList> names = ListedDrivers(environment);
    if (names)
        std::erase_if(*names, [](const std::string& n) { return journal::Gone(journal::op::kDriver, n.c_str()); });
    return names;
}

std::optional<bool> DriverStillInstalled(const char* driverName)
{
    for (const char* environment : kEnvironments) {
        const std::optional<ItemList> names = InstalledDrivers(environment);
        if (!names)
            return std::nullopt;
        if (HoldsItem(*names, driverName))
            return true;
    }
    return false;
}

void RemovePrinterDrivers(RemovalState& state, const char* environment)
{
    if (!state.Database)
        return;
    const std::optional<ItemList> installed = ListedDrivers(environment);
    if (!installed || installed->empty())
        return;
    // Whatever the scripts say, a driver some queue still uses (a foreign
    // printer's too) stays, and so do its keys and INF files: not every
    // spooler refuses to delete it. Unable to tell, delete nothing.
    const std::optional<std::vector<PrinterOnDriver>> inUse = InstalledPrintersAndDrivers();
    ItemList candidates;
    for (const std::string& name : *installed) {
        AddCandidates(candidates, *state.Database, name.c_str());
        if (!HoldsItem(candidates, name.c_str()))
            continue;
        if (!inUse) {
            journal::Kept(journal::op::kDriver, name.c_str(), "the printers using it could not be listed");
            continue;
        }
        const auto user = std::find_if(inUse->begin(), inUse->end(), [&](const PrinterOnDriver& p) {
            return text::FoldEqual(p.Driver, name);
        });
        if (user != inUse->end()) {
            journal::Kept(journal::op::kDriver, name.c_str(),
                          journal::Reason("used by printer \"%s\"", user->Printer.c_str()).c_str());
            continue;
        }
        if (!journal::WouldRemove(journal::op::kDriver, name.c_str())) {
            if (!DeletePrinterDriverA(nullptr, const_cast<char*>(environment), const_cast<char*>(name.c_str()))) {
                // A driver the spooler kept, for whatever reason, keeps its
                // keys and the INF that installed it.
                const DWORD error = GetLastError();
                if (error == ERROR_UNKNOWN_PRINTER_DRIVER)
                    journal::NotPresent(journal::op::kDriver, name.c_str());
                else if (error == ERROR_PRINTER_DRIVER_IN_USE)
                    journal::Kept(journal::op::kDriver, name.c_str(), "refused by the spooler as in use");
                else
                    journal::Failed(journal::op::kDriver, name.c_str(), error);
                continue;
            }
            journal::Removed(journal::op::kDriver, name.c_str());
        }
        AppendDriverKeys(state, environment, name.c_str());
        UninstallOemInfsOf(name.c_str());
    }
}

std::optional<ItemList> DriversStillOnMachine()
{
    std::optional<ItemList> names = DriversOfInstalledPrinters();
    if (!names)
        return std::nullopt;
    for (const char* environment : kEnvironments) {
        const std::optional<ItemList> installed = InstalledDrivers(environment);
        if (!installed)
            return std::nullopt;
        names->insert(names->end(), installed->begin(), installed->end());
    }
    SortAndUniqueItems(*names);
    return names;
}
