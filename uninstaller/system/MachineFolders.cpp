#include "MachineFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <winspool.h>

#include "../common/AnsiLeadByte.h"
#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/PathParts.h"

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

// The shell's folders of the user and of all users: what a sweep of the
// maker's folders must never start at, nor above.
constexpr int kShellFolders[] = {
    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS,
    CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU,
    CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_MYPICTURES, CSIDL_COMMON_PICTURES,
    CSIDL_MYMUSIC, CSIDL_COMMON_MUSIC, CSIDL_MYVIDEO, CSIDL_COMMON_VIDEO,
    CSIDL_FAVORITES, CSIDL_COMMON_FAVORITES, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES,
    CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS, CSIDL_SENDTO, CSIDL_RECENT,
    CSIDL_NETHOOD, CSIDL_PRINTHOOD, CSIDL_COOKIES, CSIDL_HISTORY,
    CSIDL_INTERNET_CACHE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_FONTS,
    CSIDL_RESOURCES, CSIDL_CDBURN_AREA,
};
const KNOWNFOLDERID* const kKnownFolders[] = {&FOLDERID_Downloads, &FOLDERID_Public, &FOLDERID_PublicDownloads,
                                              &FOLDERID_SavedGames, &FOLDERID_Links, &FOLDERID_Contacts};

void AddKnownFolder(std::vector<std::string>& folders, const KNOWNFOLDERID& id)
{
    PWSTR wide = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &wide)) || !wide) {
        CoTaskMemFree(wide);
        return;
    }
    char path[MAX_PATH] = {};
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, path, sizeof path, nullptr, nullptr);
    CoTaskMemFree(wide);
    if (length > 1)
        folders.push_back(WithBackslash(path));
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
    windows_ = folders_.empty() ? std::string() : folders_.front();
    AddFrom(folders_, [](char* b, DWORD n) { return GetSystemDirectoryA(b, n); });
    AddFrom(folders_, [](char* b, DWORD n) { return GetSystemWow64DirectoryA(b, n); });
    const std::size_t firstSpooler = folders_.size();
    for (const char* environment : AllDriverEnvironments()) {
        AddFrom(folders_, [environment](char* b, DWORD n) {
            DWORD needed = 0;
            return GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(environment), 1,
                                              reinterpret_cast<BYTE*>(b), n, &needed)
                       ? static_cast<DWORD>(lstrlenA(b))
                       : 0;
        });
    }
    const std::size_t driverFolders = folders_.size();
    AddFrom(folders_, [](char* b, DWORD n) {
        DWORD needed = 0;
        return GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(b), n, &needed)
                   ? static_cast<DWORD>(lstrlenA(b))
                   : 0;
    });
    for (std::size_t i = firstSpooler; i < folders_.size(); ++i)
        spooler_.push_back(folders_[i]);
    AddShellFolder(folders_, CSIDL_PROGRAM_FILES);
    AddShellFolder(folders_, CSIDL_PROGRAM_FILESX86);
    AddShellFolder(folders_, CSIDL_PROGRAM_FILES_COMMON);
    AddShellFolder(folders_, CSIDL_PROGRAM_FILES_COMMONX86);
    // Windows' own folders below Program Files, in both views.
    for (const int programFiles : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
        std::vector<std::string> base;
        AddShellFolder(base, programFiles);
        for (const std::string& folder : base)
            for (const char* own : {"Windows NT\\", "Windows Defender\\", "Windows Mail\\", "Windows Media Player\\",
                                    "Windows Photo Viewer\\", "Windows Sidebar\\", "Internet Explorer\\",
                                    "WindowsPowerShell\\", "WindowsApps\\", "Microsoft.NET\\", "Reference Assemblies\\",
                                    "Uninstall Information\\", "ModifiableWindowsApps\\"})
                folders_.push_back(folder + own);
    }
    AddShellFolder(folders_, CSIDL_COMMON_APPDATA);
    AddShellFolder(folders_, CSIDL_COMMON_PROGRAMS);
    AddShellFolder(folders_, CSIDL_PROGRAMS);
    AddShellFolder(folders_, CSIDL_APPDATA);
    AddShellFolder(folders_, CSIDL_LOCAL_APPDATA);
    // Windows' own data below ProgramData, and the version folders of the
    // drivers of every environment.
    if (!folders_.empty()) {
        std::vector<std::string> common;
        AddShellFolder(common, CSIDL_COMMON_APPDATA);
        for (const std::string& data : common)
            folders_.push_back(data + "Microsoft\\");
    }
    for (std::size_t i = firstSpooler; i < driverFolders; ++i) {
        for (const char* version : {"0\\", "1\\", "2\\", "3\\", "4\\"})
            folders_.push_back(folders_[i] + version);
    }
    profiles_ = ProfilesFolder();
    if (!profiles_.empty())
        folders_.push_back(profiles_);
    AddShellFolders();
}

void MachineFolders::AddShellFolders()
{
    for (const int csidl : kShellFolders)
        AddShellFolder(shell_, csidl);
    for (const KNOWNFOLDERID* id : kKnownFolders)
        AddKnownFolder(shell_, *id);
    // Every user's: the same folders below each profile as below this user's.
    char own[MAX_PATH] = {};
    if (profiles_.empty() || FAILED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, own)))
        return;
    const std::string profile = WithBackslash(own);
    std::vector<std::string> relative;
    for (const std::string& folder : shell_) {
        if (folder.size() > profile.size() && text::FoldStartsWith(folder, profile))
            relative.push_back(folder.substr(profile.size()));
    }
    WIN32_FIND_DATAA found{};
    FindHandle search(FindFirstFileA((profiles_ + "*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::string_view name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == "..")
            continue;
        for (const std::string& rest : relative)
            shell_.push_back(profiles_ + std::string(name) + "\\" + rest);
    } while (FindNextFileA(search.Get(), &found));
}

MachineFolders::MachineFolders(std::vector<std::string> folders, std::string profiles, std::string windows,
                               std::vector<std::string> spooler)
    : profiles_(WithBackslash(std::move(profiles))), windows_(WithBackslash(std::move(windows)))
{
    for (std::string& folder : folders)
        folders_.push_back(WithBackslash(std::move(folder)));
    for (std::string& folder : spooler)
        spooler_.push_back(WithBackslash(std::move(folder)));
    folders_.insert(folders_.end(), spooler_.begin(), spooler_.end());
    if (!windows_.empty())
        folders_.push_back(windows_);
    if (!profiles_.empty())
        folders_.push_back(profiles_);
}

std::string MachineFolders::RealPath(const std::string& directory)
{
    KernelHandle folder(CreateFileA(directory.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return {};
    char real[text::kMaxText + 8] = {};
    const DWORD length = GetFinalPathNameByHandleA(folder.Get(), real, sizeof real, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof real)
        return {};
    std::string path(real, length);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        path = "\\\\" + path.substr(8);
    else if (path.rfind("\\\\?\\", 0) == 0)
        path = path.substr(4);
    return WithBackslash(path);
}

namespace {

// One spelling per folder: anything Windows would read as another name of
// the same folder is refused rather than understood.
bool PlainSpelling(std::string_view path)
{
    if (path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0)
        return false;
    bool plain = true;
    text::ForEachChar(path, AnsiLeadByte, [&](std::size_t i) {
        const char c = path[i];
        if (c == '/' || c == '~' || c == '$' || static_cast<unsigned char>(c) < 32)
            plain = false;
        if (c == ':' && i != 1)
            plain = false;
    });
    if (!plain)
        return false;
    // No empty component after the root, none ending in a dot or a space.
    std::size_t begin = RootLength(path);
    for (const std::size_t at : Separators(path)) {
        if (at < begin)
            continue;
        const std::string_view part = path.substr(begin, at - begin);
        if (part.empty() || part.back() == '.' || part.back() == ' ')
            return false;
        begin = at + 1;
    }
    return true;
}

} // namespace

bool MachineFolders::MaySweep(std::string_view directory) const
{
    return SweepRefusal(directory).empty();
}

std::string MachineFolders::SweepRefusal(std::string_view directory) const
{
    const std::string wanted = WithBackslash(std::string(directory));
    if (!IsFullPath(wanted.c_str()) || !PlainSpelling(wanted) || HasDotComponent(wanted))
        return "refused as unsafe";
    if (wanted.size() <= RootLength(wanted))
        return "a drive root";
    for (const std::string& folder : folders_) {
        if (text::FoldEqual(folder, wanted))
            return "a folder of Windows or of every program";
        if (text::FoldStartsWith(folder, wanted))
            return "holds a folder of Windows or of every program";
    }
    for (const std::string& folder : shell_) {
        if (text::FoldEqual(folder, wanted))
            return "a shell folder";
        if (text::FoldStartsWith(folder, wanted))
            return "holds a shell folder";
    }
    // Inside Windows only the spooler's folders hold folders of the maker's.
    if (!windows_.empty() && text::FoldStartsWith(wanted, windows_)) {
        bool inSpooler = false;
        for (const std::string& folder : spooler_)
            inSpooler = inSpooler || (text::FoldStartsWith(wanted, folder) && wanted.size() > folder.size());
        if (!inSpooler)
            return "a folder of Windows";
    }
    if (!profiles_.empty() && text::FoldStartsWith(wanted, profiles_)) {
        // A user's whole profile: one more component, nothing after it.
        const std::string_view rest = std::string_view(wanted).substr(profiles_.size());
        if (Separators(rest).size() <= 1)
            return "a user's profile folder";
    }
    return {};
}
