#pragma once
// Private window messages and timer ids shared by the main window and its pages.

#include <windows.h>

constexpr UINT_PTR IDT_LOADING = 1126;
constexpr UINT UM_ENABLEUNINSTALL = 1127;
constexpr UINT UM_STARTREMOVAL = 1128;
constexpr UINT UM_REMOVALDONE = 1129;
constexpr UINT_PTR IDT_REMOVAL = 1130;

// The window class of the main window; a second start looks for it.
constexpr char kMainWindowClass[] = "QRVUninstallWindowClass_Q";
