#pragma once
// The registry hives of the machine's users other than the one this run
// is: a deployment tool runs it as the system account, and the people who
// printed have traces in their own hives. A hive Windows has loaded (its
// user is logged on) is reached under HKEY_USERS\<SID>; one that is not is
// loaded from the profile's NTUSER.DAT under a name of the program's own
// for the time of the run, and always unloaded again, in a dry run too.

#include <windows.h>

#include <string>
#include <vector>

class Door;

struct UserHive {
    std::string Sid;
    // The hive's key below HKEY_USERS: the SID, or the program's own name.
    std::string Key;
    // How the journal names the hive's root: "HKU\<SID>".
    std::string Item;
    // The user's profile folder, without a trailing backslash; empty when
    // the profile list doesn't name one.
    std::string Profile;
    bool LoadedHere = false;
    // The user's own classes (Software\Classes, kept apart in UsrClass.dat):
    // their key below HKEY_USERS, "<SID>_Classes" or the program's own name,
    // and the journal's name for it; empty when the user has none or it
    // could not be loaded.
    std::string ClassesKey;
    std::string ClassesItem;
    bool ClassesLoadedHere = false;
};

class UserHives {
public:
    // A hive a run that was ended left loaded under a name of ours is
    // unloaded through `changes`: in a dry run it stays, and is told.
    explicit UserHives(Door& changes) : changes_(changes) {}
    ~UserHives() { Release(); }
    UserHives(const UserHives&) = delete;
    UserHives& operator=(const UserHives&) = delete;

    // The hives of every real user (accounts of the machine and of a domain
    // or directory; not the service accounts) but this run's own, read on
    // the first question. A hive that can't be loaded (its file in use by
    // another process, damaged) is journaled as kept with the reason, once.
    const std::vector<UserHive>& Others();
    // The users whose hive could not be reached, as the journal names them:
    // what their hive says (the programs they start) is not known.
    const std::vector<std::string>& Unreachable()
    {
        Others();
        return unreachable_;
    }
    // Unloads the hives loaded here; the next question reads them again.
    void Release();

private:
    // Loads the hive file below HKEY_USERS under a free name of ours.
    LONG Load(const std::string& file, std::string& key);
    void FindClasses(UserHive& hive);

    Door& changes_;
    int number_ = 0;
    bool read_ = false;
    std::vector<UserHive> hives_;
    std::vector<std::string> unreachable_;
};

// Only the door calls this: unloads the hive below HKEY_USERS, with the
// backup and restore privileges enabled for the call.
LONG UnloadHive(const char* name);
