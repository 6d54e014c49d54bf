#include "AdminCheck.h"

#include <memory>
#include <vector>

#include "../common/Handles.h"

namespace {

struct SidDeleter {
    void operator()(PSID sid) const { FreeSid(sid); }
};
using OwnedSid = std::unique_ptr<void, SidDeleter>;

// The token's group list; empty when it can't be read. Most tokens fit the
// first 4096 bytes; a member of many domain groups gets the size it asks for.
std::vector<BYTE> ReadGroupList(HANDLE token)
{
    std::vector<BYTE> groups(4096);
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenGroups, groups.data(), static_cast<DWORD>(groups.size()), &needed))
        return groups;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= groups.size())
        return {};
    groups.resize(needed);
    if (!GetTokenInformation(token, TokenGroups, groups.data(), static_cast<DWORD>(groups.size()), &needed))
        return {};
    return groups;
}

} // namespace

bool IsAdministrator(const PlatformKind& platform)
{
    if (!platform.isNT())
        return true;

    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    KernelHandle token(raw);
    const std::vector<BYTE> buffer = ReadGroupList(token.Get());
    if (buffer.empty())
        return false;

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID rawSid = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &rawSid))
        return false;
    OwnedSid administrators(rawSid);

    // Membership is what counts, except for a deny-only entry: a token that
    // User Account Control filtered, or a restricted one, still lists the
    // group but grants none of its rights, and every removal would fail.
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if ((groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0)
            continue;
        if (EqualSid(groups->Groups[i].Sid, administrators.get()))
            return true;
    }
    return false;
}
