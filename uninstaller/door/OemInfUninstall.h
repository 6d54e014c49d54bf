#pragma once
// Uninstalling an OEM INF file through the setup library: the door's own
// work.

#include <windows.h>

#include <functional>

// Uninstalls one OEM INF by its file name, without forcing: a package a
// device still uses stays. 0 on success, 2 on any failure.
int UninstallOemInf(const char* infName);

// Tests only: the setup library's uninstall call, given the file name and
// the flags. Wine's answers success without forcing and leaves the file,
// so tests stand in for Windows' behaviour. An empty function restores the
// setup library's.
using OemInfUninstaller = std::function<BOOL(const char* infName, DWORD flags)>;
void SetOemInfUninstaller(OemInfUninstaller uninstaller);
