#include "RegistryRemoval.h"

#include <string>
#include <string_view>
#include <vector>

#include "../app/RemovalOperations.h"
#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/ItemNames.h"
#include "../common/Journal.h"

namespace {

constexpr char kProgramGroupsKey[] = "SOFTWARE\\QUORVEL\\OEM_Q\\ProgramGroups";
// Entries are worked on in 256-byte copies; a longer one would be cut and
// name another key, so it is refused instead.
constexpr std::size_t kMaxEntry = 255;

struct SidTraits {
    static PSID Invalid() { return nullptr; }
    static bool Valid(PSID p) { return p != nullptr; }
    static bool Close(PSID p) { return FreeSid(p) == nullptr; }
};
using WorldSid = UniqueHandle<PSID, SidTraits>;

struct HeapTraits {
    static void* Invalid() { return nullptr; }
    static bool Valid(void* p) { return p != nullptr; }
    static bool Close(void* p) { return HeapFree(GetProcessHeap(), 0, p) != FALSE; }
};
using HeapBlock = UniqueHandle<void*, HeapTraits>;

RegistryKey OpenKey(HKEY root, const char* path, REGSAM access)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path, 0, access, &opened) != ERROR_SUCCESS)
        return RegistryKey{};
    return RegistryKey{opened};
}

// The key's own access list, kept so that it can be put back.
class SavedAccessList {
public:
    bool Read(HKEY root, const char* path)
    {
        RegistryKey key = OpenKey(root, path, READ_CONTROL);
        if (!key)
            return false;
        DWORD size = 0;
        if (RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER ||
            size == 0)
            return false;
        descriptor_.resize(size);
        return RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor_.data(), &size) == ERROR_SUCCESS;
    }
    bool Restore(HKEY root, const char* path)
    {
        RegistryKey key = OpenKey(root, path, WRITE_DAC);
        return key && RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor_.data()) == ERROR_SUCCESS;
    }

private:
    std::vector<BYTE> descriptor_;
};

// The key itself, once its subkeys are gone: ERROR_SUCCESS, or why not.
LONG DeleteEmptiedKey(HKEY root, const char* path)
{
    HKEY reopened = nullptr;
    if (RegOpenKeyA(root, path, &reopened) != ERROR_SUCCESS || !reopened)
        return ERROR_SUCCESS;
    const RegistryKey again{reopened};
    const LONG first = RegDeleteKeyA(root, path);
    if (first == ERROR_SUCCESS)
        return first;
    // Without its own list in hand the key is not opened to everyone: a
    // second failure would leave it so.
    SavedAccessList original;
    if (!original.Read(root, path) || !GrantEveryoneAccess(root, path))
        return first;
    const LONG second = RegDeleteKeyA(root, path);
    if (second != ERROR_SUCCESS)
        original.Restore(root, path);
    return second;
}

// ERROR_SUCCESS when the key at `path` is gone with all its subkeys, or why
// it is not (ERROR_FILE_NOT_FOUND: it was never there).
LONG DeleteTree(HKEY root, const char* path)
{
    // An empty path opens the root itself: every key of the hive would go.
    if (!path || !*path)
        return ERROR_INVALID_PARAMETER;
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyA(root, path, &opened);
    if (status != ERROR_SUCCESS || !opened)
        return status != ERROR_SUCCESS ? status : ERROR_INVALID_HANDLE;
    const RegistryKey key{opened};
    std::string base(path);
    base.push_back('\\');
    for (DWORD index = 0;;) {
        char name[261] = {};
        const LONG found = RegEnumKeyA(key.Get(), index, name, sizeof name);
        if (found == ERROR_NO_MORE_ITEMS)
            return DeleteEmptiedKey(root, path);
        if (found != ERROR_SUCCESS)
            return found;
        // A deleted subkey's place is taken by the next one.
        if (DeleteTree(root, (base + name).c_str()) != ERROR_SUCCESS)
            ++index;
    }
}

bool KeyExists(HKEY root, const char* path)
{
    return static_cast<bool>(OpenKey(root, path, KEY_READ));
}

void RecordKeyDeletion(const char* operation, const char* item, LONG status)
{
    if (status == ERROR_SUCCESS)
        journal::Removed(operation, item);
    else if (status == ERROR_FILE_NOT_FOUND)
        journal::NotPresent(operation, item);
    else
        journal::Failed(operation, item, static_cast<DWORD>(status));
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

void RemoveEntry(ItemNamer& namer, const std::string& entry)
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
        const char* const kValue = journal::op::kRegistryValue;
        if (journal::DryRun()) {
            RegistryKey reading = OpenKey(root, key.c_str(), KEY_QUERY_VALUE);
            if (!reading || RegQueryValueExA(reading.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                                ERROR_FILE_NOT_FOUND)
                journal::NotPresent(kValue, item.c_str());
            else
                journal::WouldRemove(kValue, item.c_str());
            return;
        }
        RegistryKey opened;
        HKEY handle = nullptr;
        LONG status = RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &handle);
        if (status == ERROR_SUCCESS) {
            opened = RegistryKey{handle};
            status = RegDeleteValueA(opened.Get(), name.c_str());
        }
        RecordKeyDeletion(kValue, item.c_str(), status);
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
    if (journal::DryRun()) {
        if (KeyExists(root, key.c_str()))
            journal::WouldRemove(kRegistryKey, item.c_str());
        else
            journal::NotPresent(kRegistryKey, item.c_str());
        return;
    }
    const LONG status =
        !flag.empty() && flag.front() == '1' ? DeleteTree(root, key.c_str()) : RegDeleteKeyA(root, key.c_str());
    RecordKeyDeletion(kRegistryKey, item.c_str(), status);
}

} // namespace

bool GrantEveryoneAccess(HKEY root, const char* path)
{
    RegistryKey key = OpenKey(root, path, WRITE_DAC);
    if (!key)
        return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID made = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &made))
        return false;
    const WorldSid everyone{made};
    const DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(everyone.Get());
    const HeapBlock block{HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size)};
    if (!block)
        return false;
    const auto acl = static_cast<PACL>(block.Get());
    SECURITY_DESCRIPTOR descriptor{};
    if (!InitializeAcl(acl, size, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, everyone.Get()) ||
        !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
        return false;
    return RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool DeleteRegistryTree(HKEY root, const char* path)
{
    return DeleteTree(root, path) == ERROR_SUCCESS;
}

void RemoveRegistryKeys(RemovalState& state)
{
    const std::string groups = std::string("HKLM\\") + kProgramGroupsKey;
    if (!journal::DryRun())
        RecordKeyDeletion(journal::op::kRegistryKey, groups.c_str(), RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramGroupsKey));
    else if (KeyExists(HKEY_LOCAL_MACHINE, kProgramGroupsKey))
        journal::WouldRemove(journal::op::kRegistryKey, groups.c_str());
    if (!state.Database)
        return;
    ItemList& entries = state.Database->Merged.RegistryKeys;
    SortAndUniqueItems(entries);
    // Descending: a subkey before its parent.
    ItemNamer namer;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        RemoveEntry(namer, *entry);
}
