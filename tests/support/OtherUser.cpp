#include "support/OtherUser.h"

#include <iterator>

namespace bed {

namespace {

constexpr char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr char kPrepared[] = "SOFTWARE\\QrvOtherUserHive";
constexpr char kPreparedClasses[] = "SOFTWARE\\QrvOtherUserClasses";
constexpr const char* kClassesFolders[] = {"\\AppData", "\\AppData\\Local", "\\AppData\\Local\\Microsoft",
                                           "\\AppData\\Local\\Microsoft\\Windows"};

void Privileges(bool enable)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privilege{};
        privilege.PrivilegeCount = 1;
        LookupPrivilegeValueA(nullptr, name, &privilege.Privileges[0].Luid);
        privilege.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        AdjustTokenPrivileges(token, FALSE, &privilege, 0, nullptr, nullptr);
    }
    CloseHandle(token);
}

bool MakePreparedKey(const std::string& path)
{
    HKEY made = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(made);
    return true;
}

bool SavePrepared(const char* prepared, const std::string& file)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, prepared, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    Privileges(true);
    DeleteFileA(file.c_str());
    const LONG saved = RegSaveKeyA(key, file.c_str(), nullptr);
    Privileges(false);
    RegCloseKey(key);
    return saved == ERROR_SUCCESS;
}

} // namespace

OtherUser::OtherUser()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPrepared);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPreparedClasses);
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA(HiveFile().c_str());
    const std::string entry = std::string(kProfileList) + kSid;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, entry.c_str(), "ProfileImagePath", REG_EXPAND_SZ, folder.c_str(),
                    static_cast<DWORD>(folder.size() + 1));
}

OtherUser::~OtherUser()
{
    LogOff();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPrepared);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPreparedClasses);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kProfileList) + kSid).c_str());
    DeleteFileA(HiveFile().c_str());
    DeleteFileA(ClassesFile().c_str());
    for (auto below = std::rbegin(kClassesFolders); below != std::rend(kClassesFolders); ++below)
        RemoveDirectoryA((folder + *below).c_str());
    RemoveDirectoryA(folder.c_str());
}

bool OtherUser::SetValue(const std::string& key, const char* name, const char* text)
{
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, (std::string(kPrepared) + "\\" + key).c_str(), name, REG_SZ, text,
                           static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
}

bool OtherUser::MakeKey(const std::string& key)
{
    return MakePreparedKey(std::string(kPrepared) + "\\" + key);
}

bool OtherUser::Save()
{
    return SavePrepared(kPrepared, HiveFile());
}

bool OtherUser::MakeClassesKey(const std::string& key)
{
    return MakePreparedKey(std::string(kPreparedClasses) + "\\" + key);
}

bool OtherUser::SaveClasses()
{
    for (const char* below : kClassesFolders)
        CreateDirectoryA((folder + below).c_str(), nullptr);
    classesSaved_ = SavePrepared(kPreparedClasses, ClassesFile());
    return classesSaved_;
}

bool OtherUser::LogOn(const std::string& as)
{
    Privileges(true);
    loadedAs_ = as;
    loggedOn_ = RegLoadKeyA(HKEY_USERS, as.c_str(), HiveFile().c_str()) == ERROR_SUCCESS;
    if (loggedOn_ && classesSaved_ &&
        RegLoadKeyA(HKEY_USERS, (as + "_Classes").c_str(), ClassesFile().c_str()) != ERROR_SUCCESS)
        loggedOn_ = false;
    Privileges(false);
    return loggedOn_;
}

void OtherUser::LogOff()
{
    if (!loggedOn_)
        return;
    Privileges(true);
    if (classesSaved_)
        RegUnLoadKeyA(HKEY_USERS, (loadedAs_ + "_Classes").c_str());
    RegUnLoadKeyA(HKEY_USERS, loadedAs_.c_str());
    Privileges(false);
    loggedOn_ = false;
}

bool OtherUser::ValueThere(const std::string& key, const char* name) const
{
    DWORD size = 0;
    return RegGetValueA(HKEY_USERS, (std::string(kSid) + "\\" + key).c_str(), name, RRF_RT_ANY, nullptr, nullptr,
                        &size) == ERROR_SUCCESS;
}

bool OtherUser::KeyThere(const std::string& key) const
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_USERS, (std::string(kSid) + "\\" + key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

bool HiveLoaded(const std::string& name)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_USERS, name.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

} // namespace bed
