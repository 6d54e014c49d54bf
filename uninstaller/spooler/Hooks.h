#pragma once
// Add-on components of the driver packages remove themselves: each Hooks
// entry "library,export" names a library and its uninstall entry point,
// called in the program's own process.

#include <windows.h>

#include "../door/RemovalState.h"

// Step 2: the add-on components' own uninstall entry points.
void RunHooks(RemovalState& state);

// Tests only: a shorter wait after each hook (never longer than the
// program's second).
void SetHookPause(DWORD milliseconds);
