#pragma once
// The files the uninstall scripts list, deleted from the system's folders,
// the spooler's directory trees and the maker's own folders.

#include <string>
#include <vector>

#include "../door/RemovalState.h"

// Step 14, in this order: the Windows and driver directories, the listed
// files (with the OEM INF files of the removed drivers between them and, by
// platform, the driver's version subdirectory of Windows 2000 and XP).
// The files of the drivers, monitors and processors that stay must have
// been read into the state first; without them every file stays.
void PrepareDriverPaths(RemovalState& state);
void RemoveScriptFiles(RemovalState& state);
void RemoveDriverSubdirectory(RemovalState& state);

// The listed files that are uninstall scripts, which the plan is read from:
// taken last, once everything they describe has gone.
void RemoveUninstallScripts(RemovalState& state);

// Deletes the files of these names (name and extension only) from every
// folder of the page's lists, as one walk of each tree, and sets the
// restart-required flag when one of them has to wait for the next start.
// Kept: a name a printer driver that stays lists among its files, a file
// Windows protects; not walked: an OEM folder that is no folder of the
// maker's own (see MachineFolders).
void RemoveFilesFromSystemFolders(RemovalState& state, const std::vector<std::string>& fileNames);
void RemoveFileFromSystemFolders(RemovalState& state, const char* fileName);

