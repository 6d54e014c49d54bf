#pragma once
// Finding the uninstall scripts that driver installers leave on the machine.

#include "UninstallProfile.h"

// The file name every driver package gives its uninstall script.
inline constexpr char kUninstallScriptName[] = "Xrmv___Q.unm";

// Appends the full path of every file (not directory) in `directory` that
// matches `fileName`. `directory` must be a full path ("X:\..." or
// "\\server\..."), with or without its trailing backslash; any other text
// is not searched. The program's directory is the current directory again
// afterwards.
void SearchScripts(ItemList& scripts, const char* directory, const char* fileName);

// The scripts of the printer-driver directory, its subdirectory "3", the
// program's directory and the system directory, sorted and without
// duplicates (case ignored).
void FindUninstallScripts(ItemList& scripts);
