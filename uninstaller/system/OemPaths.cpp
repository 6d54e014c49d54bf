// The maker's folders, as its installers recorded them in the registry.

#include <windows.h>

#include <cstring>
#include <string>

#include "OemPaths.h"

#include "../common/Handles.h"
#include "../common/Text.h"

namespace {

constexpr char kOemPathsKey[] = "SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths";

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
    // Sorted first: only then are all duplicates neighbours.
    SortAndUniqueItems(folders);
}
