#pragma once
// Start-menu items and program groups of the Shortcuts list.

#include "../door/RemovalState.h"

// Step 10: every item before any group; items as files in the Programs and
// Startup folders (through Program Manager on Win32s), groups through
// Program Manager.
void RemoveShortcuts(RemovalState& state);
