#pragma once
// Whether a registry key or value is there: read-only questions, asked with
// no more access than reading needs. Only an answer of "not found" counts as
// not there: a key or value that can't be read may well be there, and the
// removal tries it and tells what became of it.

#include <windows.h>

#include "Handles.h"

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
