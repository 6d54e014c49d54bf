#pragma once
// Keys of the DeleteIni list, cut out of INI files of the Windows directory.

#include <optional>
#include <string>
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

// What a DeleteIni entry takes out: the file of that name in the Windows
// directory, the section and the key, and the item as the journal names
// it, "C:\windows\file.ini [section] key". Nothing for an entry that is
// refused as unsafe.
struct IniTarget {
    char Path[text::kMaxText] = {};
    std::string Section;
    std::string Key;
    std::string Item;
};
std::optional<IniTarget> ReadIniEntry(std::string_view entry, const char* windowsDirectory);
// The item, in the Windows directory this machine has; empty for an entry
// refused as unsafe.
std::string IniEntryItem(std::string_view entry);
