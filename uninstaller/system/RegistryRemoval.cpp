#include "RegistryRemoval.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/Text.h"
#include "../script/ItemNames.h"

namespace {

constexpr char kProgramGroupsKey[] = "SOFTWARE\\QUORVEL\\OEM_Q\\ProgramGroups";
// Entries are worked on in 256-byte copies; a longer one would be cut and
// name another key, so it is refused instead.
constexpr std::size_t kMaxEntry = 255;

// Whether the key holds a subkey this run has not taken: without the tree
// flag it can't go, and trying would only fail.
bool HoldsOtherKeys(const Door& door, HKEY root, const char* path, const std::string& item)
{
    const RegistryKey key = OpenKey(root, path, KEY_ENUMERATE_SUB_KEYS);
    if (!key)
        return false;
    for (DWORD index = 0;; ++index) {
        char name[text::kMaxText] = {};
        DWORD size = sizeof name;
        const LONG found = RegEnumKeyExA(key.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS)
            return false;
        if (found != ERROR_SUCCESS || !door.KeyGone((item + "\\" + name).c_str()))
            return true;
    }
}

// A key deleted without its tree: one that still holds others is kept.
void DeleteSingleKey(RemovalState& state, const std::string& item, HKEY root, const char* path)
{
    using journal::op::kRegistryKey;
    if (HoldsOtherKeys(state.Changes, root, path, item)) {
        journal::Kept(kRegistryKey, item.c_str(), "holds other keys");
        return;
    }
    state.Changes.DeleteRegistryKey(kRegistryKey, item.c_str(), root, path, false);
}

HKEY RootByName(std::string_view name)
{
    if (text::FoldEqual(name, "HKLM"))
        return HKEY_LOCAL_MACHINE;
    if (text::FoldEqual(name, "HKCR"))
        return HKEY_CLASSES_ROOT;
    if (text::FoldEqual(name, "HKCU"))
        return HKEY_CURRENT_USER;
    if (text::FoldEqual(name, "HKU"))
        return HKEY_USERS;
    return nullptr;
}

std::string_view NextField(std::string_view& rest, bool& present)
{
    const std::size_t comma = rest.find(',');
    present = comma != std::string_view::npos;
    const std::string_view field = rest.substr(0, comma);
    rest = present ? rest.substr(comma + 1) : std::string_view();
    return field;
}

void RemoveEntry(RemovalState& state, ItemNamer& namer, const std::string& entry)
{
    using journal::op::kRegistryKey;
    if (entry.size() > kMaxEntry) {
        journal::Kept(kRegistryKey, entry.c_str(), "refused as unsafe");
        return;
    }
    std::string_view rest = entry;
    bool second = false;
    bool third = false;
    const std::string_view rootName = text::TrimAll(NextField(rest, second), '"');
    const std::string_view keyField = text::TrimAll(NextField(rest, third), '"');
    if (!second || !third) {
        journal::Kept(kRegistryKey, entry.c_str(), "not a registry entry");
        return;
    }
    bool fourth = false;
    const std::string_view value = text::TrimAll(NextField(rest, fourth), '"');
    const std::string_view flag = NextField(rest, fourth);
    const HKEY root = RootByName(rootName);
    if (!root) {
        journal::Kept(kRegistryKey, entry.c_str(), "not a registry entry");
        return;
    }
    const std::string key(keyField);
    std::string item = std::string(rootName) + "\\" + key;

    if (!value.empty()) {
        // One named value goes, whatever key holds it.
        const std::string name(value);
        item += "\\" + name;
        state.Changes.DeleteRegistryValue(journal::op::kRegistryValue, item.c_str(), root, key.c_str(), name.c_str());
        return;
    }
    // A hive, its first level or a key Windows shares with every program is
    // never deleted, whatever a script says.
    for (const ItemName& name : namer.Names(ItemKind::Registry, 'R', entry)) {
        if (name.untouchable) {
            journal::Kept(kRegistryKey, item.c_str(), "a hive, its first level or a shared key");
            return;
        }
    }
    if (!flag.empty() && flag.front() == '1')
        state.Changes.DeleteRegistryKey(kRegistryKey, item.c_str(), root, key.c_str(), true);
    else
        DeleteSingleKey(state, item, root, key.c_str());
}

} // namespace

void RemoveRegistryKeys(RemovalState& state)
{
    const std::string groups = std::string("HKLM\\") + kProgramGroupsKey;
    DeleteSingleKey(state, groups, HKEY_LOCAL_MACHINE, kProgramGroupsKey);
    if (!state.Database)
        return;
    ItemList& entries = state.Database->Merged.RegistryKeys;
    SortAndUniqueItems(entries);
    // Descending: a subkey before its parent.
    ItemNamer namer;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        RemoveEntry(state, namer, *entry);
}
