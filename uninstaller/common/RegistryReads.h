#pragma once
// Whether a registry key or value is there: read-only questions, asked with
// no more access than reading needs.

#include <windows.h>

#include "Handles.h"

inline bool KeyExists(HKEY root, const char* path)
{
    HKEY opened = nullptr;
    if (!path || RegOpenKeyExA(root, path, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

inline bool ValueExists(HKEY root, const char* path, const char* name)
{
    HKEY opened = nullptr;
    if (!path || RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    const RegistryKey key{opened};
    return RegQueryValueExA(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
