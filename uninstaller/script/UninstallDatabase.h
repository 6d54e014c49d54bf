#pragma once
// The one shared store of the program: the profiles read from the uninstall
// scripts, the inventory of installed printers, and the lists the removal
// takes away.

#include <windows.h>

#include <cstdint>
#include <list>
#include <vector>

#include "../app/ActivePrinter.h"
#include "../spooler/PlatformKind.h"
#include "UninstallProfile.h"

struct UninstallDatabase {
    std::uint32_t RestartRequired = 0;
    std::uint32_t RemovedPrinterCount = 0;
    std::uint32_t KeptPrinterCount = 0;
    UninstallProfile BaseWorkList;
    UninstallProfile KeepList;
    UninstallProfile Merged;
    std::list<CActivePrinter> Printers;
    std::uint32_t VeltropeSpared = 0;
    std::vector<UninstallProfile> Profiles;
    PlatformKind Platform;
};

// Reads one script into the database's profile list. False, leaving the
// database as it was, when the file can't be read or has no starter section.
bool ReadScript(UninstallDatabase& database, const char* path);

// Appends a RegistryKeys item for one of the four predefined roots
// HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_USERS.
bool AddRegistryKey(UninstallProfile& profile, HKEY root, const char* keyPath, const char* valueName, bool deleteTree);
