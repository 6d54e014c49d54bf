#pragma once
// A second user of the bed's machine: an entry of the profile list, a
// profile folder and an NTUSER.DAT hive written from a prepared key. The
// hive is loaded under HKEY_USERS\<SID> only when the test says the user is
// logged on. Everything goes again at the end.
//
// This platform does not write a hive loaded with RegLoadKey back to its
// file when it is unloaded, as Windows does: what a run changed in a hive
// it loaded itself can't be read from the file afterwards.

#include <windows.h>

#include <string>

namespace bed {

class OtherUser {
public:
    static constexpr char kSid[] = "S-1-5-21-1000-2000-3000-1101";

    OtherUser();
    ~OtherUser();
    OtherUser(const OtherUser&) = delete;
    OtherUser& operator=(const OtherUser&) = delete;

    // Before Save: keys and values the hive will hold, below its root.
    bool SetValue(const std::string& key, const char* name, const char* text);
    bool MakeKey(const std::string& key);
    // Writes the prepared key to the profile's NTUSER.DAT.
    bool Save();
    // The user's own classes, kept in a hive file of their own.
    bool MakeClassesKey(const std::string& key);
    bool SaveClasses();

    // As when the user is logged on: the hive under HKEY_USERS\<SID>, or
    // under another name, and their classes, when saved, beside it.
    bool LogOn(const std::string& as = kSid);
    void LogOff();
    // Below HKEY_USERS\<SID>, while logged on.
    bool ValueThere(const std::string& key, const char* name) const;
    bool KeyThere(const std::string& key) const;

    const std::string folder = "C:\\users\\qrvother";
    std::string HiveFile() const { return folder + "\\NTUSER.DAT"; }
    std::string ClassesFile() const { return folder + "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"; }

private:
    bool loggedOn_ = false;
    bool classesSaved_ = false;
    std::string loadedAs_;
};

// Whether a hive is loaded under this name below HKEY_USERS.
bool HiveLoaded(const std::string& name);

} // namespace bed
