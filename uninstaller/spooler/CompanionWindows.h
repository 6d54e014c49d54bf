#pragma once
// The maker's status monitors, installers and utilities are asked to close
// before the spooler is touched and again after the inventory is built.

#include <windows.h>

class Door;

// Asks the first top-level window of `windowClass` to close (WM_CLOSE). 1
// when there was one and it agreed, else 0.
int CloseWindowByClass(Door& door, const char* windowClass, WPARAM wParam, LPARAM lParam);

// Every companion window class in turn, then the registered message
// "QUninstClose_Q" posted to every top-level window; `again` when this run
// asked before (a program the spooler's restart started may be there now).
// Always 1.
int CloseCompanionWindows(Door& door, bool again = false);

// How long a companion window may take to answer WM_CLOSE before it is
// passed over as hung. Tests may shorten it.
void SetCompanionAnswerTimeout(UINT milliseconds);
