#pragma once
// Start-menu items and program groups of the Shortcuts list.

#include <string>
#include <string_view>

#include "../door/RemovalState.h"

// Step 10: every item before any group; items as files in the Programs and
// Startup folders (through Program Manager on Win32s), groups through
// Program Manager.
void RemoveShortcuts(RemovalState& state);

// An entry as the journal names it where no folder is known: "group\item.ext"
// for a shortcut, the group for a program group (`operation` tells which);
// empty for an entry refused as unsafe.
std::string ShortcutItem(std::string_view entry, const char*& operation);
