#pragma once
// The directories the file removal looks in, taken from the machine's
// special locations when a removal starts.

#include <windows.h>

#include "../door/RemovalState.h"

// Appends the printer-driver and print-processor directories to the spooler
// list and the system, Windows and colour directories to the system list
// (the "Windows 4.0" driver directory only on the NT family), each list
// sorted and without duplicates afterwards. A location is resolved twice,
// `settle` ms apart, and the second answer taken; one that resolves to
// nothing adds nothing.
void FillFolderLists(RemovalState& state, DWORD settle);
