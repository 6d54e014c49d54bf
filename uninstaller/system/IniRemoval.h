#pragma once
// Keys of the DeleteIni list, cut out of INI files of the Windows directory.

#include <string_view>

#include "../door/RemovalState.h"

// Step 12.
void RemoveIniEntries(RemovalState& state);

// The file, section and key of a DeleteIni entry: all three there and not
// empty, anything after a third comma ignored, quotes kept.
struct IniEntryParts {
    std::string_view file;
    std::string_view section;
    std::string_view key;
};
bool SplitIniEntry(std::string_view entry, IniEntryParts& parts);
