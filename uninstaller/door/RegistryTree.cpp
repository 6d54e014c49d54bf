#include "RegistryTree.h"

#include <string>
#include <vector>

#include "../common/Handles.h"
#include "../common/RegistryReads.h"

namespace {

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
LONG DeleteTreeBelow(HKEY root, const char* path)
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
        if (DeleteTreeBelow(root, (base + name).c_str()) != ERROR_SUCCESS)
            ++index;
    }
}

} // namespace

LONG DeleteKeyTree(HKEY root, const char* path)
{
    return DeleteTreeBelow(root, path);
}

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
    return DeleteKeyTree(root, path) == ERROR_SUCCESS;
}

