#include "MachineFolders.h"

#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

#include "../common/AnsiLeadByte.h"
#include "../common/Text.h"
#include "FileDeletion.h"

namespace {

std::string WithBackslash(std::string folder)
{
    if (!folder.empty() && !text::EndsWithSeparator(folder, AnsiLeadByte))
        folder.push_back('\\');
    return folder;
}

template <typename Call>
void AddFrom(std::vector<std::string>& folders, Call call)
{
    char path[MAX_PATH] = {};
    const DWORD length = call(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        folders.push_back(WithBackslash(path));
}

void AddShellFolder(std::vector<std::string>& folders, int csidl)
{
    AddFrom(folders, [csidl](char* path, DWORD) {
        return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))
                   ? static_cast<DWORD>(lstrlenA(path))
                   : 0;
    });
}

// The folder above a user's own profile folder.
std::string ProfilesFolder()
{
    char profile[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile)))
        return {};
    const std::string_view own(profile);
    const std::size_t separator = text::LastSeparator(own, AnsiLeadByte);
    if (separator == std::string_view::npos)
        return {};
    return std::string(own.substr(0, separator + 1));
}

// Offsets of the separators of a path, stepping over double-byte characters.
std::vector<std::size_t> Separators(std::string_view path)
{
    std::vector<std::size_t> at;
    text::ForEachChar(path, AnsiLeadByte, [&](std::size_t i) {
        if (path[i] == '\\' || path[i] == '/')
            at.push_back(i);
    });
    return at;
}

// The number of characters of a path's root: "C:\" or "\\server\share\".
std::size_t RootLength(std::string_view path)
{
    if (path.size() >= 3 && path[1] == ':')
        return 3;
    const std::vector<std::size_t> at = Separators(path);
    // Two for the leading pair, one after the server, one after the share.
    return at.size() >= 4 ? at[3] + 1 : path.size();
}

} // namespace

bool HasDotComponent(std::string_view path)
{
    std::size_t start = 0;
    bool dot = false;
    text::ForEachChar(path, AnsiLeadByte, [&](std::size_t at) {
        if (path[at] != '\\' && path[at] != '/')
            return;
        const std::string_view part = path.substr(start, at - start);
        dot = dot || part == "." || part == "..";
        start = at + 1;
    });
    const std::string_view last = path.substr(start);
    return dot || last == "." || last == "..";
}

MachineFolders::MachineFolders()
{
    AddFrom(folders_, [](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); });
    AddFrom(folders_, [](char* b, DWORD n) { return GetSystemDirectoryA(b, n); });
    AddFrom(folders_, [](char* b, DWORD n) { return GetSystemWow64DirectoryA(b, n); });
    for (const char* environment : {static_cast<const char*>(nullptr), "Windows NT x86", "Windows 4.0"}) {
        AddFrom(folders_, [environment](char* b, DWORD n) {
            DWORD needed = 0;
            return GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(environment), 1,
                                              reinterpret_cast<BYTE*>(b), n, &needed)
                       ? static_cast<DWORD>(lstrlenA(b))
                       : 0;
        });
    }
    AddFrom(folders_, [](char* b, DWORD n) {
        DWORD needed = 0;
        return GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(b), n, &needed)
                   ? static_cast<DWORD>(lstrlenA(b))
                   : 0;
    });
    AddShellFolder(folders_, CSIDL_PROGRAM_FILES);
    AddShellFolder(folders_, CSIDL_PROGRAM_FILESX86);
    AddShellFolder(folders_, CSIDL_PROGRAM_FILES_COMMON);
    AddShellFolder(folders_, CSIDL_COMMON_APPDATA);
    AddShellFolder(folders_, CSIDL_COMMON_PROGRAMS);
    AddShellFolder(folders_, CSIDL_PROGRAMS);
    AddShellFolder(folders_, CSIDL_APPDATA);
    AddShellFolder(folders_, CSIDL_LOCAL_APPDATA);
    profiles_ = ProfilesFolder();
    if (!profiles_.empty())
        folders_.push_back(profiles_);
}

MachineFolders::MachineFolders(std::vector<std::string> folders, std::string profiles)
    : profiles_(WithBackslash(std::move(profiles)))
{
    for (std::string& folder : folders)
        folders_.push_back(WithBackslash(std::move(folder)));
    if (!profiles_.empty())
        folders_.push_back(profiles_);
}

bool MachineFolders::MaySweep(std::string_view directory) const
{
    const std::string wanted = WithBackslash(std::string(directory));
    if (!IsFullPath(wanted.c_str()) || HasDotComponent(wanted) || wanted.size() <= RootLength(wanted))
        return false;
    for (const std::string& folder : folders_) {
        // The folder itself, or one above it.
        if (text::FoldStartsWith(folder, wanted))
            return false;
    }
    if (!profiles_.empty() && text::FoldStartsWith(wanted, profiles_)) {
        // A user's whole profile: one more component, nothing after it.
        const std::string_view rest = std::string_view(wanted).substr(profiles_.size());
        if (Separators(rest).size() <= 1)
            return false;
    }
    return true;
}
