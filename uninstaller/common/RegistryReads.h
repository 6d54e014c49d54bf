#pragma once
// A registry key opened into its owner, and whether a key or value is
// there: read-only questions, asked with no more access than reading needs. Only an answer of "not found" counts as
// not there: a key or value that can't be read may well be there, and the
// removal tries it and tells what became of it.

#include <windows.h>

#include <optional>
#include <string>

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

// What a value holds as text.
struct RegistryText {
    bool Missing = false;            // the key or the value is not there
    std::optional<std::string> Text; // its text, unexpanded; nothing when not
                                     // there or not readable as text
};

// The text of a REG_SZ or REG_EXPAND_SZ value.
inline RegistryText ReadRegistryText(HKEY root, const char* path, const char* name)
{
    RegistryText result;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        LONG status = RegGetValueA(root, path, name, flags, nullptr, nullptr, &size);
        if (status == ERROR_SUCCESS && size > 0) {
            std::string text(size, '\0');
            status = RegGetValueA(root, path, name, flags, nullptr, text.data(), &size);
            if (status == ERROR_MORE_DATA)
                continue; // it grew between the two calls
            if (status == ERROR_SUCCESS) {
                text.resize(size);
                text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
                result.Text = std::move(text);
                return result;
            }
        }
        result.Missing = NotFound(status);
        return result;
    }
    return result;
}
