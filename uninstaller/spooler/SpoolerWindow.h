#pragma once
// The Windows 95 spooler runs behind a window of its own; closing that window
// stops it.

#include <windows.h>

class Door;

// Asks the top-level window of class "SpoolProcessClass" to close and gives
// the spooler a second to go. 1 when there was such a window, else 0.
int CloseSpoolerWindow(Door& door);

// Tests only: a shorter pause after the close request (never longer than
// the program's second).
void SetSpoolerWindowPause(DWORD milliseconds);
