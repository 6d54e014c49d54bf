#pragma once
// Registry keys and values of the RegistryKeys list (step 15).

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "../common/Journal.h"
#include "../door/RemovalState.h"

// Step 15: the maker's program-group key, then the list in descending order,
// a subkey before its parent. Entries that name the same key or value are
// one. A hive, its first level or a key of Windows is never deleted, nor
// are its values, nor the keys of a service no script lists; a key that
// still holds other keys is deleted only with the tree flag. What the
// removal added in case (RunAdditions) is told only when it is there.
void RemoveRegistryKeys(RemovalState& state);

// One entry, "root,key,value,tree flag", as step 15 reads it: quotes
// around each part dropped, the root one of HKLM, HKCR, HKCU and HKU.
struct RegistryEntry {
    HKEY Root = nullptr;
    std::string Key;
    // Empty for the key itself.
    std::string Value;
    bool Tree = false;
    // As the journal names it: "HKLM\key", or "HKLM\key\value".
    std::string Item;
    const char* Operation() const { return Value.empty() ? journal::op::kRegistryKey : journal::op::kRegistryValue; }
};
// Nothing for an entry that is no registry entry or too long to work on.
std::optional<RegistryEntry> ReadRegistryEntry(std::string_view line);
