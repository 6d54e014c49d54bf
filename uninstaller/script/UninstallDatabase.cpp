#include "UninstallDatabase.h"

#include "Ini.h"
#include "ScriptReader.h"

bool ReadScript(UninstallDatabase& database, const char* path)
{
    CIni script;
    // "failed to open file": nothing is added and nothing is shown.
    if (!script.Load(path))
        return false;
    return ReadScriptProfiles(database.Profiles, script, path);
}

bool AddRegistryKey(UninstallProfile& profile, HKEY root, const char* keyPath, const char* valueName, bool deleteTree)
{
    const char* name = nullptr;
    if (root == HKEY_LOCAL_MACHINE)
        name = "HKLM";
    else if (root == HKEY_CLASSES_ROOT)
        name = "HKCR";
    else if (root == HKEY_CURRENT_USER)
        name = "HKCU";
    else if (root == HKEY_USERS)
        name = "HKU";
    if (!name || !keyPath)
        return false;
    return AppendRegistryItem(profile, name, keyPath, valueName ? valueName : "", deleteTree);
}
