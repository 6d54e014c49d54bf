#include "BackupAccess.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <vector>

#include "../common/Handles.h"

namespace {

constexpr DWORD kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                           FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The accounts that may write a backup: administrators, the system, the
// installer service, the owner's placeholder, and the account running now.
class Trusted {
public:
    Trusted()
    {
        for (const char* text : {"S-1-5-32-544", "S-1-5-18", "S-1-3-0",
                                 "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"}) {
            PSID sid = nullptr;
            if (ConvertStringSidToSidA(text, &sid))
                sids_.push_back(sid);
        }
        HANDLE raw = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
            const KernelHandle token(raw);
            DWORD size = 0;
            if (GetTokenInformation(token.Get(), TokenUser, self_, sizeof self_, &size))
                selfSid_ = reinterpret_cast<TOKEN_USER*>(self_)->User.Sid;
        }
    }
    ~Trusted()
    {
        for (PSID sid : sids_)
            LocalFree(sid);
    }
    Trusted(const Trusted&) = delete;
    Trusted& operator=(const Trusted&) = delete;

    bool Holds(PSID sid) const
    {
        if (selfSid_ && EqualSid(sid, selfSid_))
            return true;
        for (PSID trusted : sids_) {
            if (EqualSid(sid, trusted))
                return true;
        }
        return false;
    }

private:
    std::vector<PSID> sids_;
    alignas(TOKEN_USER) BYTE self_[256] = {};
    PSID selfSid_ = nullptr;
};

bool OthersMayWrite(const std::string& path, const Trusted& trusted)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return true;
    // No access list at all lets everybody in.
    bool others = dacl == nullptr;
    for (DWORD index = 0; dacl && index < dacl->AceCount && !others; ++index) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, index, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
        if ((ace->Mask & kWriting) != 0 && !trusted.Holds(const_cast<DWORD*>(&ace->SidStart)))
            others = true;
    }
    LocalFree(descriptor);
    return others;
}

std::string Scan(const std::string& folder, const Trusted& trusted, int depth)
{
    if (OthersMayWrite(folder, trusted))
        return folder;
    WIN32_FIND_DATAA found{};
    const FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search)
        return {};
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0)
            continue;
        const std::string path = folder + "\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth > 0)
                return path; // the backup makes no deeper folders
            if (std::string held = Scan(path, trusted, depth + 1); !held.empty())
                return held;
        } else if (OthersMayWrite(path, trusted)) {
            return path;
        }
    } while (FindNextFileA(search.Get(), &found));
    return {};
}

} // namespace

std::string WritableByOthers(const std::string& folder)
{
    const Trusted trusted;
    return Scan(folder, trusted, 0);
}
