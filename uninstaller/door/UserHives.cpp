#include "UserHives.h"

#include <windows.h>
#include <sddl.h>

#include <cstring>
#include <string_view>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/Text.h"
#include "Door.h"

namespace {

constexpr char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char kOperation[] = "user profile";

// Accounts of this machine or a domain (S-1-5-21-...), and of a directory
// in the cloud (S-1-12-1-...); not the system, local or network service.
bool RealUser(std::string_view sid)
{
    return (text::FoldStartsWith(sid, "S-1-5-21-") || text::FoldStartsWith(sid, "S-1-12-1-")) &&
           sid.find('.') == std::string_view::npos;
}

// The SID this run is, as text; empty when it can't be read.
std::string OwnSid()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    const KernelHandle token(raw);
    BYTE buffer[256] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size))
        return {};
    char* text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
        return {};
    const std::string sid(text);
    LocalFree(text);
    return sid;
}

// The backup and restore privileges, enabled for the loading and unloading
// of hives and put back as they were afterwards.
class HivePrivileges {
public:
    HivePrivileges()
    {
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
            return;
        token_.Attach(raw);
        TOKEN_PRIVILEGES* wanted = reinterpret_cast<TOKEN_PRIVILEGES*>(wantedBuffer_);
        wanted->PrivilegeCount = 2;
        if (!LookupPrivilegeValueA(nullptr, SE_BACKUP_NAME, &wanted->Privileges[0].Luid) ||
            !LookupPrivilegeValueA(nullptr, SE_RESTORE_NAME, &wanted->Privileges[1].Luid))
            return;
        wanted->Privileges[0].Attributes = wanted->Privileges[1].Attributes = SE_PRIVILEGE_ENABLED;
        DWORD size = sizeof previousBuffer_;
        adjusted_ = AdjustTokenPrivileges(token_.Get(), FALSE, wanted, sizeof previousBuffer_,
                                          reinterpret_cast<TOKEN_PRIVILEGES*>(previousBuffer_), &size) != FALSE;
    }
    ~HivePrivileges()
    {
        if (adjusted_)
            AdjustTokenPrivileges(token_.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(previousBuffer_), 0, nullptr,
                                  nullptr);
    }
    HivePrivileges(const HivePrivileges&) = delete;
    HivePrivileges& operator=(const HivePrivileges&) = delete;

private:
    KernelHandle token_;
    bool adjusted_ = false;
    alignas(TOKEN_PRIVILEGES) BYTE wantedBuffer_[sizeof(TOKEN_PRIVILEGES) + sizeof(LUID_AND_ATTRIBUTES)] = {};
    alignas(TOKEN_PRIVILEGES) BYTE previousBuffer_[sizeof(TOKEN_PRIVILEGES) + sizeof(LUID_AND_ATTRIBUTES)] = {};
};

constexpr char kOwnPrefix[] = "QrvUninst_";

// A name this program gives a hive it loads: the prefix and a number.
bool OwnHiveName(std::string_view name)
{
    if (!text::FoldStartsWith(name, kOwnPrefix) || name.size() == std::strlen(kOwnPrefix))
        return false;
    for (const char c : name.substr(std::strlen(kOwnPrefix))) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The hives below HKEY_USERS under names of ours.
std::vector<std::string> OwnLoadedHives()
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[text::kMaxText] = {};
        DWORD size = sizeof name;
        if (RegEnumKeyExA(HKEY_USERS, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (OwnHiveName(name))
            names.emplace_back(name);
    }
    return names;
}

} // namespace

const std::vector<UserHive>& UserHives::Others()
{
    if (read_)
        return hives_;
    read_ = true;
    // Only one run goes at a time: a hive under a name of ours was left
    // loaded by a run that was ended before it could unload it. Left so, its
    // user would get a temporary profile at the next log-on.
    for (const std::string& leftover : OwnLoadedHives())
        changes_.UnloadLeftoverHive(leftover.c_str());
    int number = 0;
    const std::string own = OwnSid();
    const RegistryKey list = OpenKey(HKEY_LOCAL_MACHINE, kProfileList, KEY_READ);
    for (DWORD index = 0; list; ++index) {
        char sid[text::kMaxText] = {};
        DWORD size = sizeof sid;
        const LONG found = RegEnumKeyExA(list.Get(), index, sid, &size, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS)
            break;
        if (found != ERROR_SUCCESS || !RealUser(sid) || text::FoldEqual(sid, own))
            continue;
        UserHive hive{sid, sid, std::string("HKU\\") + sid, {}, false};
        const RegistryText folder = ReadRegistryText(list.Get(), sid, "ProfileImagePath");
        char expanded[text::kMaxText] = {};
        const DWORD length =
            folder.Text ? ExpandEnvironmentStringsA(folder.Text->c_str(), expanded, sizeof expanded) : 0;
        const bool profileRead = length > 0 && length <= sizeof expanded && expanded[0] != '\0';
        if (profileRead)
            hive.Profile = expanded;
        while (!hive.Profile.empty() && hive.Profile.back() == '\\')
            hive.Profile.pop_back();
        if (KeyExists(HKEY_USERS, sid)) {
            hives_.push_back(std::move(hive));
            continue;
        }
        const std::string file = hive.Profile + "\\NTUSER.DAT";
        if (!profileRead || hive.Profile.empty()) {
            journal::Kept(kOperation, hive.Item.c_str(), "its profile folder could not be read");
            continue;
        }
        // A leftover a dry run leaves loaded keeps its name.
        do
            hive.Key = kOwnPrefix + std::to_string(++number);
        while (KeyExists(HKEY_USERS, hive.Key.c_str()));
        LONG status = ERROR_SUCCESS;
        {
            const HivePrivileges privileges;
            status = RegLoadKeyA(HKEY_USERS, hive.Key.c_str(), file.c_str());
        }
        if (status != ERROR_SUCCESS) {
            journal::Kept(kOperation, hive.Item.c_str(),
                          journal::Reason("its hive %s could not be loaded (error %ld)", file.c_str(),
                                          static_cast<long>(status))
                              .c_str());
            continue;
        }
        hive.LoadedHere = true;
        hives_.push_back(std::move(hive));
    }
    return hives_;
}

LONG UnloadHive(const char* name)
{
    const HivePrivileges privileges;
    return RegUnLoadKeyA(HKEY_USERS, name);
}

void UserHives::Release()
{
    if (!read_)
        return;
    for (const UserHive& hive : hives_) {
        if (!hive.LoadedHere)
            continue;
        const LONG status = UnloadHive(hive.Key.c_str());
        if (status != ERROR_SUCCESS)
            journal::Record(kOperation, hive.Item.c_str(), journal::Outcome::Failed, "its hive could not be unloaded",
                            static_cast<DWORD>(status));
    }
    hives_.clear();
    read_ = false;
}
