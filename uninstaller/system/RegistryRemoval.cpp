#include "RegistryRemoval.h"

#include <string>
#include <string_view>
#include <vector>

#include "../app/RemovalOperations.h"
#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/ItemNames.h"

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

// The key itself, once its subkeys are gone.
bool DeleteEmptiedKey(HKEY root, const char* path)
{
    HKEY reopened = nullptr;
    if (RegOpenKeyA(root, path, &reopened) != ERROR_SUCCESS || !reopened)
        return true;
    const RegistryKey again{reopened};
    if (RegDeleteKeyA(root, path) == ERROR_SUCCESS)
        return true;
    // Without its own list in hand the key is not opened to everyone: a
    // second failure would leave it so.
    SavedAccessList original;
    if (!original.Read(root, path) || !GrantEveryoneAccess(root, path))
        return false;
    if (RegDeleteKeyA(root, path) == ERROR_SUCCESS)
        return true;
    original.Restore(root, path);
    return false;
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
    if (entry.size() > kMaxEntry)
        return;
    std::string_view rest = entry;
    bool second = false;
    bool third = false;
    const std::string_view rootName = text::TrimAll(NextField(rest, second), '"');
    const std::string_view keyField = text::TrimAll(NextField(rest, third), '"');
    if (!second || !third)
        return;
    bool fourth = false;
    const std::string_view value = text::TrimAll(NextField(rest, fourth), '"');
    const std::string_view flag = NextField(rest, fourth);
    const HKEY root = RootByName(rootName);
    if (!root)
        return;
    const std::string key(keyField);

    if (!value.empty()) {
        // One named value goes, whatever key holds it.
        RegistryKey opened = OpenKey(root, key.c_str(), KEY_ALL_ACCESS);
        if (opened)
            RegDeleteValueA(opened.Get(), std::string(value).c_str());
        return;
    }
    // A hive, its first level or a key Windows shares with every program is
    // never deleted, whatever a script says.
    for (const ItemName& name : namer.Names(ItemKind::Registry, 'R', entry))
        if (name.untouchable)
            return;
    if (!flag.empty() && flag.front() == '1')
        DeleteRegistryTree(root, key.c_str());
    else
        RegDeleteKeyA(root, key.c_str());
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
    // An empty path opens the root itself: every key of the hive would go.
    if (!path || !*path)
        return false;
    HKEY opened = nullptr;
    if (RegOpenKeyA(root, path, &opened) != ERROR_SUCCESS || !opened)
        return false;
    const RegistryKey key{opened};
    std::string base(path);
    if (!base.empty())
        base.push_back('\\');
    for (DWORD index = 0;;) {
        char name[261] = {};
        const LONG status = RegEnumKeyA(key.Get(), index, name, sizeof name);
        if (status == ERROR_NO_MORE_ITEMS)
            return DeleteEmptiedKey(root, path);
        if (status != ERROR_SUCCESS)
            return false;
        // A deleted subkey's place is taken by the next one.
        if (!DeleteRegistryTree(root, (base + name).c_str()))
            ++index;
    }
}

void RemoveRegistryKeys(RemovalState& state)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramGroupsKey);
    if (!state.Database)
        return;
    ItemList& entries = state.Database->Merged.RegistryKeys;
    SortAndUniqueItems(entries);
    // Descending: a subkey before its parent.
    ItemNamer namer;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        RemoveEntry(namer, *entry);
}
