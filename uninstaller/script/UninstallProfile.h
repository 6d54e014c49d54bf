#pragma once
// One profile of an uninstall script: everything that belongs to one printer
// driver, one manufacturer, or one group of items that must always stay.
// Pure logic, no platform calls.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../common/Text.h"

// Items are texts of at most 259 characters, in the system's code page.
using ItemList = std::vector<std::string>;

struct UninstallProfile {
    char Name[text::kMaxText] = {};
    std::uint32_t IsManufacturer = 0;
    std::uint32_t IsCatchAll = 0;
    std::uint32_t IsIgnore = 0;
    std::int32_t Number = 0;
    char SectionBase[text::kMaxText] = {};
    char ScriptPath[text::kMaxText] = {};
    ItemList DeleteIni;
    ItemList DeleteLoadRun;
    ItemList UnSelfRegister;
    ItemList PrintProcessors;
    ItemList Monitors;
    ItemList Services;
    ItemList Hooks;
    ItemList Files;
    ItemList Drivers;
    ItemList Shortcuts;
    ItemList OemFolders;
    ItemList RegistryKeys;
    ItemList Directorys;

    void Clear();
    void Assign(const UninstallProfile& source) { *this = source; }
    // Merges every list of `source` in, keeping this profile's texts and flags.
    void Merge(const UninstallProfile& source);
    // Removes from every list the items that `source`'s list holds too.
    void Subtract(const UninstallProfile& source);
    void SortAll();
    void UniqueAll();
};

// The thirteen lists, for operations over all of them.
constexpr ItemList UninstallProfile::* kAllLists[] = {
    &UninstallProfile::DeleteIni,    &UninstallProfile::DeleteLoadRun, &UninstallProfile::UnSelfRegister,
    &UninstallProfile::PrintProcessors, &UninstallProfile::Monitors,  &UninstallProfile::Services,
    &UninstallProfile::Hooks,        &UninstallProfile::Files,         &UninstallProfile::Drivers,
    &UninstallProfile::Shortcuts,    &UninstallProfile::OemFolders,    &UninstallProfile::RegistryKeys,
    &UninstallProfile::Directorys,
};

// The category sections of a profile, read in this order: section base,
// ".", suffix, and the list each fills.
struct ProfileCategory {
    const char* suffix;
    ItemList UninstallProfile::* list;
};

constexpr ProfileCategory kProfileCategories[] = {
    {"DeleteIni", &UninstallProfile::DeleteIni},
    {"DeleteLoadRun", &UninstallProfile::DeleteLoadRun},
    {"UnSelfRegister", &UninstallProfile::UnSelfRegister},
    {"PrintProcessors", &UninstallProfile::PrintProcessors},
    {"Monitors", &UninstallProfile::Monitors},
    {"Services", &UninstallProfile::Services},
    {"Hooks", &UninstallProfile::Hooks},
    {"Files", &UninstallProfile::Files},
    {"Shortcuts", &UninstallProfile::Shortcuts},
    {"RegistryKeys", &UninstallProfile::RegistryKeys},
    {"Directorys", &UninstallProfile::Directorys},
};

// The same as merging each source into `target` in turn, in one k-way merge
// per list when every source list is sorted (as lists read from scripts are).
void MergeInOrder(UninstallProfile& target, const std::vector<const UninstallProfile*>& sources);

// Item order: bytes compared with A-Z folded; equal items are the same item.
inline bool ItemLess(const std::string& a, const std::string& b) { return text::FoldCompare(a, b) < 0; }

// Some item of the list equals `name`, A-Z folded.
bool HoldsItem(const ItemList& items, std::string_view name);

// Stable sort, then the first of each run of equal items kept.
void SortItems(ItemList& items);
void UniqueItems(ItemList& items);
// Both of the above, skipped when the list is already ascending without
// equal items (one pass instead of two).
void SortAndUniqueItems(ItemList& items);
bool StrictlyAscending(const ItemList& items);

// Appends a registry item: root short name ("HKLM", "HKCR", "HKCU", "HKU"),
// the quoted key path, the quoted value name and 1 or 0 for the subtree
// flag. False for an empty key path or an item too long to hold.
bool AppendRegistryItem(UninstallProfile& profile, std::string_view root, std::string_view keyPath,
                        std::string_view valueName, bool deleteTree);
