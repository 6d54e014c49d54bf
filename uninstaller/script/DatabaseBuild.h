#pragma once
// The uninstall database's content and the build that turns the user's
// choice of printers into the merged profile the removal takes away: every
// item some script names, less what a printer that stays, a catch-all
// profile or an ignore profile still needs. Pure logic, no platform calls.

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ActivePrinter.h"
#include "UninstallProfile.h"

struct DatabaseContent {
    std::uint32_t RestartRequired = 0;
    // What needs the restart, first told first: a file scheduled for the
    // next start, a service marked for deletion, the Windows 9x spooler.
    std::string RestartReason;
    std::uint32_t RemovedPrinterCount = 0;
    std::uint32_t KeptPrinterCount = 0;
    UninstallProfile BaseWorkList;
    UninstallProfile KeepList;
    UninstallProfile Merged;
    // What the removal adds to the merged profile as it goes, once it has
    // taken away what these items belong to (the keys of a driver it
    // deleted): every build of this removal keeps them in the merged profile.
    // A new removal starts without them.
    UninstallProfile RunAdditions;
    // Drivers this removal meant to take away that are still installed
    // after the driver step: each stays with what its profile names. A new
    // removal starts without them.
    ItemList StayingDrivers;
    std::list<CActivePrinter> Printers;
    std::uint32_t VeltropeSpared = 0;
    std::vector<UninstallProfile> Profiles;
};

// A copy of the first profile of that name (A-Z folded); false and a cleared
// output when there is none.
bool FindProfile(const DatabaseContent& db, UninstallProfile& out, std::string_view name);

// A copy of the last manufacturer profile whose first word is the driver
// name's first word; false and a cleared output when there is none.
bool FindManufacturerProfile(const DatabaseContent& db, UninstallProfile& out, std::string_view driverName);

// The profile a printer of that driver gets: the first of that name (A-Z
// folded), else the last manufacturer profile of the driver name's first
// word; nullptr when none. `sorted`: the profiles are in name order, as the
// readers and the build leave them, and a binary search finds the first.
const UninstallProfile* ProfileForDriver(const DatabaseContent& db, std::string_view driver, bool sorted);
bool ProfilesSortedByName(const DatabaseContent& db);

// Every profile but the ignore profiles merged into `target`; true when any was.
bool FillBaseWorkList(DatabaseContent& db, UninstallProfile& target);

// The masking product: with "UNVELT" only its items are candidates, without
// it whatever its items name stays on the machine.
void AdjustForVeltrope(DatabaseContent& db, bool unvelt);

// Rebuilds the keep list, the merged profile, the counts and the
// Veltrope-spared flag from the inventory's Skip and Stayed flags and the
// staying drivers, and sets each printer's ToRemove. Skip is left as the selection made it, and nothing of
// one build stays behind for the next: the same selection gives the same
// result however often it is built.
bool BuildDatabase(DatabaseContent& db, bool win32s);

// The maker's common items, which go with its last printer: its shared
// keys, the uninstall scripts, the catch-all profiles' items, the masking
// product's items and the maker's own key (deleted only when empty). What
// stays with a printer of the maker is all but the last two: the masking
// product's items are its own business ("UNVELT" takes them while the
// maker's printers stay), and a key kept would keep every key below it.
enum class CommonPart { All, Kept };
UninstallProfile CommonItems(const DatabaseContent& db, CommonPart part);
// After the last build: a printer of the maker stays, or a driver the
// spooler kept.
bool MakerStays(const DatabaseContent& db);

// A new removal: what the last one found on the machine (printers that
// stayed, drivers the spooler kept, the items it added) is forgotten.
void StartRemovalPlan(DatabaseContent& db);

// Adds an item the removal found it must take away (see RunAdditions).
void AddToPlan(DatabaseContent& db, ItemList UninstallProfile::* list, const std::string& item);

// Sets the restart-required flag; the reason is kept when the flag was up
// already with one.
inline void RequireRestart(DatabaseContent& db, std::string reason)
{
    if (db.RestartRequired == 0 || db.RestartReason.empty())
        db.RestartReason = std::move(reason);
    db.RestartRequired = 1;
}

// Printers that may appear on the selection page.
int CountOfferedPrinters(const DatabaseContent& db);
