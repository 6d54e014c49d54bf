#pragma once
// Registry content in the text that "reg import" and the registry editor
// read ("Windows Registry Editor Version 5.00", UTF-16 with its byte-order
// mark), so that an administrator can put one key back by hand: written
// from the registry, and read back into keys and values.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "../common/WideText.h"

struct RegTextValue {
    std::wstring Name; // empty: the key's default value ("@")
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

struct RegTextKey {
    std::wstring Path; // with the root's long name: HKEY_LOCAL_MACHINE\...
    std::vector<RegTextValue> Values;
};

// The key (with every key below it when `tree`), or only its value `value`
// when that is given, as the text names it under `shownPath` (the root's
// long name and the path, e.g. a user's hive under their SID rather than
// the name it is loaded as). False when it is not there.
bool ExportRegistry(HKEY root, const std::string& path, const char* value, bool tree, const std::wstring& shownPath,
                    std::wstring& text);

// The keys and values of such a text; false when it is not one.
bool ParseRegText(std::wstring_view text, std::vector<RegTextKey>& keys);

// The text as a file holds it, and back.
std::string RegFileBytes(const std::wstring& text);
bool RegFileText(const std::string& bytes, std::wstring& text);

// The long name of a root ("HKEY_LOCAL_MACHINE"); nullptr for another key.
const wchar_t* RootLongName(HKEY root);
// The root a long name stands for, and the rest of the path after it.
HKEY RootOfLongPath(std::wstring_view path, std::wstring_view& rest);

