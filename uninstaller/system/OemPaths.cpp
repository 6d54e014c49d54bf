// The maker's folders, as its installers recorded them in the registry.

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>

#include "OemPaths.h"

#include "../common/Handles.h"
#include "../common/Text.h"

namespace {

constexpr char kOemPathsKey[] = "SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths";

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == '\0')
        return {};
    return path;
}

// A package installs its 32-bit parts below Program Files (x86) and its
// 64-bit ones below Program Files, under one name: a recorded folder below
// either stands for its twin below the other, where that is there.
void AddProgramFilesTwins(ItemList& folders)
{
    const std::string programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string programFiles32 = ShellFolder(CSIDL_PROGRAM_FILESX86);
    if (programFiles.empty() || programFiles32.empty() || text::FoldEqual(programFiles, programFiles32))
        return;
    const std::size_t recorded = folders.size();
    for (std::size_t i = 0; i < recorded; ++i) {
        // A copy: the list grows below.
        const std::string folder = folders[i];
        for (const auto& [from, to] :
             {std::pair{programFiles, programFiles32}, std::pair{programFiles32, programFiles}}) {
            if (folder.size() <= from.size() + 1 || folder[from.size()] != '\\' ||
                !text::FoldStartsWith(folder, from))
                continue;
            std::string twin = to + folder.substr(from.size());
            const DWORD attributes = GetFileAttributesA(twin.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                folders.push_back(std::move(twin));
        }
    }
}

} // namespace

void ReadOemPaths(RemovalState& state)
{
    if (!state.Database)
        return;
    ItemList& folders = state.Database->Merged.OemFolders;
    // A 32-bit installer records its folders where the registry keeps
    // 32-bit programs' keys.
    for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}}) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOemPathsKey, 0, KEY_READ | view, &opened) == ERROR_SUCCESS && opened) {
            const RegistryKey key{opened};
            for (DWORD index = 0;; ++index) {
                char name[text::kMaxText] = {};
                BYTE data[text::kMaxText] = {};
                DWORD nameSize = sizeof name;
                DWORD dataSize = sizeof data;
                DWORD type = REG_NONE;
                const LONG status = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, &type, data, &dataSize);
                if (status == ERROR_NO_MORE_ITEMS)
                    break;
                // A value too big for the buffer is passed over: cut, it would
                // name another folder.
                if (status == ERROR_MORE_DATA)
                    continue;
                if (status != ERROR_SUCCESS)
                    break;
                // Only a string names a folder, and only one that ends within
                // the buffer: 259 characters at most. An empty one would make
                // the file removal look for bare file names.
                if (type != REG_SZ && type != REG_EXPAND_SZ)
                    continue;
                // The buffer starts zeroed, so data stored without its NUL still
                // ends within it when it is shorter than the buffer.
                const auto* begin = reinterpret_cast<const char*>(data);
                const void* end = std::memchr(begin, '\0', sizeof data);
                if (!end || end == begin)
                    continue;
                const std::string recorded(begin, static_cast<const char*>(end));
                if (type == REG_SZ) {
                    folders.push_back(recorded);
                    continue;
                }
                // %ProgramFiles% and the like, as the installer meant them; one
                // that does not expand whole names no folder.
                char expanded[text::kMaxText] = {};
                const DWORD length = ExpandEnvironmentStringsA(recorded.c_str(), expanded, sizeof expanded);
                if (length > 0 && length <= sizeof expanded && expanded[0] != '\0')
                    folders.emplace_back(expanded);
            }
        }
    }
    AddProgramFilesTwins(folders);
    // Sorted first: only then are all duplicates neighbours.
    SortAndUniqueItems(folders);
}
