#pragma once
// Why the last database build keeps each item of the base work list that
// its merged profile leaves out. Each reason is found by the same naming
// rules the build decides with. It names the first source, in the build's
// order, whose items name what the item would take away: a staying
// printer's profile, or what that printer's queue uses, or a profile that
// always stays. Or it says that the item names what is never removed.
// Pure logic, no platform calls.

#include <string>
#include <vector>

#include "DatabaseBuild.h"

// The lists the journal tells of: UnSelfRegister is read by nobody, and the
// OEM folders come from the registry, not from the scripts.
inline constexpr ItemList UninstallProfile::* kToldLists[] = {
    &UninstallProfile::Drivers,     &UninstallProfile::Monitors,     &UninstallProfile::PrintProcessors,
    &UninstallProfile::Services,    &UninstallProfile::Hooks,        &UninstallProfile::Shortcuts,
    &UninstallProfile::DeleteIni,   &UninstallProfile::DeleteLoadRun, &UninstallProfile::Files,
    &UninstallProfile::Directorys,  &UninstallProfile::RegistryKeys,
};

struct KeptItem {
    ItemList UninstallProfile::* List = nullptr;
    std::string Item;
    std::string Reason;
};

// Why the maker's common items stay: the first printer of the maker that
// stays (or driver the spooler kept).
std::string CommonItemReason(const DatabaseContent& db);

// In the order of the lists, and of the items within each.
std::vector<KeptItem> ExplainKeptItems(const DatabaseContent& db);
