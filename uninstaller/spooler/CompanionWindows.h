#pragma once
// The maker's status monitors, installers and utilities are asked to close
// before the spooler is touched and again after the inventory is built.

#include <windows.h>

// Sends WM_CLOSE to the first top-level window of `windowClass`. 1 when
// there was one and it answered 0, else 0.
int CloseWindowByClass(const char* windowClass, WPARAM wParam, LPARAM lParam);

// Every companion window class in turn, then the registered message
// "QUninstClose_Q" posted to every top-level window. Always 1.
int CloseCompanionWindows();

// How long a companion window may take to answer WM_CLOSE before it is
// passed over as hung. Tests may shorten it.
void SetCompanionAnswerTimeout(UINT milliseconds);
