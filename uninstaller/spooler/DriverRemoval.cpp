#include "DriverRemoval.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../common/DriverEnvironments.h"
#include "../common/Journal.h"
#include "../common/PrinterHandle.h"
#include "../common/TwoCall.h"
#include "../door/SpoolerKeys.h"
#include "DriverInfFiles.h"
#include "DriverPackages.h"

namespace {

// The drivers of one environment as the spooler lists them, whatever this
// run took away: each environment's copy is decided on its own.
std::optional<ItemList> ListedDrivers(const char* environment)
{
    char* env = const_cast<char*>(environment);
    DWORD returned = 0;
    const auto listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return EnumPrinterDriversA(nullptr, env, 2, data, size, needed, &returned) != FALSE;
    });
    if (!listed) {
        // A spooler that has no such environment has no driver in it.
        if (GetLastError() == ERROR_INVALID_ENVIRONMENT)
            return ItemList{};
        return std::nullopt;
    }
    ItemList names;
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_2A*>(listed->data());
    for (DWORD i = 0; !listed->empty() && i < returned; ++i) {
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
        if (!p.Goes())
            continue;
        const bool staysOnIt = std::any_of(db.Printers.begin(), db.Printers.end(), [&](const CActivePrinter& other) {
            return other.Stays() && text::FoldEqual(other.DriverName, p.DriverName);
        });
        if (!staysOnIt)
            candidates.push_back(p.DriverName);
    }
    // A PostScript driver of the masking product goes with it, unless a queue
    // of that very name is still there.
    if (db.VeltropeSpared == 0 && std::strstr(enumerated, "(PSCRIPT)")) {
        if (!OpenPrinterFor(enumerated, PRINTER_ACCESS_USE))
            candidates.push_back(enumerated);
    }
    SortAndUniqueItems(candidates);
}

// The driver's keys go with it at the registry step; the spooler itself
// takes most of them along with the driver.
void AppendDriverKeys(RemovalState& state, const char* environment, const char* driverName)
{
    UninstallProfile keys;
    for (const std::string& key : DriverKeys(state.Platform, environment, driverName))
        AddRegistryKey(keys, HKEY_LOCAL_MACHINE, key.c_str(), "", false);
    for (const std::string& key : keys.RegistryKeys)
        AddToPlan(*state.Database, &UninstallProfile::RegistryKeys, key);
}

} // namespace

std::optional<ItemList> DriversOfInstalledPrinters(RemovalState& state)
{
    const std::vector<ListedPrinter>* printers = state.Printers.Now();
    if (!printers)
        return std::nullopt;
    ItemList names;
    for (const ListedPrinter& p : *printers) {
        if (!p.Driver.empty())
            names.push_back(p.Driver);
    }
    return names;
}

std::optional<ItemList> InstalledDrivers(const Door& door, const char* environment)
{
    std::optional<ItemList> names = ListedDrivers(environment);
    if (names)
        std::erase_if(*names, [&](const std::string& n) { return door.DriverGone(environment, n.c_str()); });
    return names;
}

std::optional<bool> DriverStillInstalled(const Door& door, const char* driverName)
{
    for (const char* environment : RemovalEnvironments()) {
        const std::optional<ItemList> names = InstalledDrivers(door, environment);
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
    ItemList candidates;
    for (const std::string& name : *installed) {
        AddCandidates(candidates, *state.Database, name.c_str());
        if (!HoldsItem(candidates, name.c_str()))
            continue;
        const std::string item = EnvironmentItem(environment, name.c_str());
        const std::vector<ListedPrinter>* inUse = state.Printers.Now();
        if (!inUse) {
            journal::Kept(journal::op::kDriver, item.c_str(), "the printers using it could not be listed");
            continue;
        }
        const auto user = std::find_if(inUse->begin(), inUse->end(), [&](const ListedPrinter& p) {
            return text::FoldEqual(p.Driver, name);
        });
        if (user != inUse->end()) {
            journal::Kept(journal::op::kDriver, item.c_str(),
                          journal::Reason("used by printer \"%s\"", user->Name.c_str()).c_str());
            continue;
        }
        // The package the driver came from can be read only while it is
        // installed.
        const std::optional<std::string> package = PackageOfDriver(environment, name.c_str());
        // A driver the spooler kept, for whatever reason, keeps its keys and
        // the INF that installed it.
        if (state.Changes.DeleteDriver(environment, name.c_str()) != Deletion::Done)
            continue;
        state.RemovedDrivers.push_back({name, package});
        AppendDriverKeys(state, environment, name.c_str());
        UninstallOemInfsOf(state, name.c_str(), package);
    }
}

std::optional<ItemList> DriversStillOnMachine(RemovalState& state)
{
    std::optional<ItemList> names = DriversOfInstalledPrinters(state);
    if (!names)
        return std::nullopt;
    for (const char* environment : RemovalEnvironments()) {
        const std::optional<ItemList> installed = InstalledDrivers(state.Changes, environment);
        if (!installed)
            return std::nullopt;
        names->insert(names->end(), installed->begin(), installed->end());
    }
    SortAndUniqueItems(*names);
    return names;
}
