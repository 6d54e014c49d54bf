#pragma once
// Programs of the removed drivers taken out of the start-up lists: the Run
// key of the registry, or on Win32s WIN.INI's "load" line.

#include <string>
#include <string_view>

#include "../door/RemovalState.h"

// Step 13: every entry of the DeleteLoadRun list.
void DeleteLoadRunEntries(RemovalState& state);

// Removes the value `display` from the machine's Run key (the key's path is
// text IDS_RUN_KEY), and from the key 32-bit programs see on NT, when the
// value starts the program `file`; or on Win32s the word `file` from the
// "load" line, which is then written back in lower case. 1 when something
// was removed, else 0; a line too long to rewrite whole is left as it is.
int DeleteLoadRunEntry(RemovalState& state, const char* display, const char* file);

// The item the journal names an entry of the list by: the Run key's value,
// "HKLM\<Run key>\<display>", or on Win32s the word of the "load" line;
// empty for an entry the step passes over.
std::string StartupEntryItem(const PlatformKind& platform, TextCatalogue& texts, std::string_view entry);
