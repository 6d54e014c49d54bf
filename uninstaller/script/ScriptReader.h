#pragma once
// Reading an uninstall script's profiles. Pure logic over a parsed script;
// ReadScript (UninstallDatabase.h) loads the file and calls ReadScriptProfiles.

#include <string_view>
#include <vector>

#include "IniModel.h"
#include "UninstallProfile.h"

// Fills name, section base, number and the category lists of `profile` (kind
// flags and ScriptPath already set) from a starter line
// "name,section base,number". False, with the lists untouched, when the name
// or the section base is too long to hold.
bool FillProfile(UninstallProfile& profile, const IniModel& script, std::string_view starterLine);

// Appends the profiles of a parsed script to `profiles`, then keeps the list
// sorted by name with each name once (the first read wins). False, changing
// nothing, when the script has no starter section with entries.
bool ReadScriptProfiles(std::vector<UninstallProfile>& profiles, const IniModel& script, const char* path);

// Sorts profiles by name (stable) and drops those named as the one before.
void SortAndUniqueProfiles(std::vector<UninstallProfile>& profiles);
