#pragma once
// The one shared store of the program: the profiles read from the uninstall
// scripts, the inventory of installed printers, and the lists the removal
// takes away.

#include <windows.h>

#include "../common/PlatformKind.h"
#include "DatabaseBuild.h"
#include "UninstallProfile.h"

// The content and its build are pure logic (DatabaseBuild.h); the platform
// is what the machine adds.
struct UninstallDatabase : DatabaseContent {
    PlatformKind Platform;
};

inline bool BuildDatabase(UninstallDatabase& database)
{
    return BuildDatabase(database, database.Platform.isWin32s());
}

// Reads one script into the database's profile list. False, leaving the
// database as it was, when the file can't be read or has no starter section.
bool ReadScript(UninstallDatabase& database, const char* path);

// Appends a RegistryKeys item for one of the four predefined roots
// HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_USERS.
bool AddRegistryKey(UninstallProfile& profile, HKEY root, const char* keyPath, const char* valueName, bool deleteTree);
