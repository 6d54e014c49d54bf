#pragma once
// A registry key opened into its owner, and whether a key or value is
// there: read-only questions, asked with no more access than reading needs. Only an answer of "not found" counts as
// not there: a key or value that can't be read may well be there, and the
// removal tries it and tells what became of it.

#include <windows.h>

#include "Handles.h"

// The key opened with `access`; an empty owner when it can't be.
inline RegistryKey OpenKey(HKEY root, const char* path, REGSAM access)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path, 0, access, &opened) != ERROR_SUCCESS)
        return RegistryKey{};
    return RegistryKey{opened};
}

inline bool NotFound(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

inline bool KeyExists(HKEY root, const char* path)
{
    HKEY opened = nullptr;
    if (!path)
        return false;
    const LONG status = RegOpenKeyExA(root, path, 0, KEY_READ, &opened);
    if (status == ERROR_SUCCESS)
        RegCloseKey(opened);
    return !NotFound(status);
}

inline bool ValueExists(HKEY root, const char* path, const char* name)
{
    HKEY opened = nullptr;
    if (!path)
        return false;
    const LONG status = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS)
        return !NotFound(status);
    const RegistryKey key{opened};
    return !NotFound(RegQueryValueExA(key.Get(), name, nullptr, nullptr, nullptr, nullptr));
}
