#include "UserHives.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
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
        UserHive hive;
        hive.Sid = hive.Key = sid;
        hive.Item = std::string("HKU\\") + sid;
        const RegistryText folder = ReadRegistryText(list.Get(), sid, "ProfileImagePath");
        char expanded[text::kMaxText] = {};
        const DWORD length =
            folder.Text ? ExpandEnvironmentStringsA(folder.Text->c_str(), expanded, sizeof expanded) : 0;
        const bool profileRead = length > 0 && length <= sizeof expanded && expanded[0] != '\0';
        if (profileRead)
            hive.Profile = expanded;
        while (!hive.Profile.empty() && hive.Profile.back() == '\\')
            hive.Profile.pop_back();
        // Two entries of one profile folder are one user's hive twice.
        if (const auto same = std::find_if(hives_.begin(), hives_.end(),
                                           [&](const UserHive& other) {
                                               return !hive.Profile.empty() &&
                                                      text::FoldEqual(other.Profile, hive.Profile);
                                           });
            same != hives_.end()) {
            journal::Kept(kOperation, hive.Item.c_str(),
                          journal::Reason("its profile folder is that of %s", same->Item.c_str()).c_str());
            continue;
        }
        if (KeyExists(HKEY_USERS, sid)) {
            FindClasses(hive);
            hives_.push_back(std::move(hive));
            continue;
        }
        const std::string file = hive.Profile + "\\NTUSER.DAT";
        if (!profileRead || hive.Profile.empty()) {
            journal::Kept(kOperation, hive.Item.c_str(), "its profile folder could not be read");
            unreachable_.push_back(hive.Item);
            continue;
        }
        const LONG status = Load(file, hive.Key);
        if (status != ERROR_SUCCESS) {
            journal::Kept(kOperation, hive.Item.c_str(),
                          journal::Reason("its hive %s could not be loaded (error %ld)", file.c_str(),
                                          static_cast<long>(status))
                              .c_str());
            unreachable_.push_back(hive.Item);
            continue;
        }
        hive.LoadedHere = true;
        FindClasses(hive);
        hives_.push_back(std::move(hive));
    }
    return hives_;
}

LONG UserHives::Load(const std::string& file, std::string& key)
{
    // A leftover a dry run leaves loaded keeps its name.
    do
        key = kOwnPrefix + std::to_string(++number_);
    while (KeyExists(HKEY_USERS, key.c_str()));
    const HivePrivileges privileges;
    return RegLoadKeyA(HKEY_USERS, key.c_str(), file.c_str());
}

void UserHives::FindClasses(UserHive& hive)
{
    hive.ClassesItem = hive.Item + "_Classes";
    // Windows loads a logged-on user's classes beside their hive.
    if (const std::string loaded = hive.Sid + "_Classes"; KeyExists(HKEY_USERS, loaded.c_str())) {
        hive.ClassesKey = loaded;
        return;
    }
    if (hive.Profile.empty())
        return;
    // Where Windows keeps the file since Vista, and where it kept it before.
    std::string file;
    for (const char* below : {"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                              "\\Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat"}) {
        if (GetFileAttributesA((hive.Profile + below).c_str()) != INVALID_FILE_ATTRIBUTES) {
            file = hive.Profile + below;
            break;
        }
    }
    if (file.empty())
        return;
    std::string key;
    if (const LONG status = Load(file, key); status != ERROR_SUCCESS) {
        journal::Kept(kOperation, hive.ClassesItem.c_str(),
                      journal::Reason("its hive %s could not be loaded (error %ld)", file.c_str(),
                                      static_cast<long>(status))
                          .c_str());
        return;
    }
    hive.ClassesKey = key;
    hive.ClassesLoadedHere = true;
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
    const auto unload = [](const std::string& key, const std::string& item) {
        const LONG status = UnloadHive(key.c_str());
        if (status != ERROR_SUCCESS)
            journal::Record(kOperation, item.c_str(), journal::Outcome::Failed, "its hive could not be unloaded",
                            static_cast<DWORD>(status));
    };
    for (const UserHive& hive : hives_) {
        if (hive.ClassesLoadedHere)
            unload(hive.ClassesKey, hive.ClassesItem);
        if (hive.LoadedHere)
            unload(hive.Key, hive.Item);
    }
    hives_.clear();
    unreachable_.clear();
    number_ = 0;
    read_ = false;
}
