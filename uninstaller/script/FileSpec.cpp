#include "FileSpec.h"

#include <shlobj.h>
#include <winspool.h>

#include <cstring>

#include "../common/AnsiLeadByte.h"
#include "../common/Handles.h"
#include "../common/PlatformKind.h"

char DefaultScriptPath[text::kMaxText] = {};

namespace {

constexpr DWORD kBufferSize = text::kMaxText;
constexpr char kScriptName[] = "Xrmv___Q.unm";

bool EndsWithSeparator(const char* s) { return text::EndsWithSeparator(s, AnsiLeadByte); }

void AppendBackslash(char (&path)[text::kMaxText])
{
    if (path[0] != '\0' && !EndsWithSeparator(path) && !text::AppendWhole(path, "\\"))
        path[0] = '\0';
}

bool IsWin32s() { return PlatformKind().isWin32s(); }

// A platform call that fills a 260-byte buffer and returns the length it
// wrote; a result that fills the buffer means it didn't fit.
template <typename Call>
void FromLengthCall(char (&path)[text::kMaxText], Call call)
{
    const DWORD n = call(path, kBufferSize);
    if (n == 0 || n >= kBufferSize)
        path[0] = '\0';
}

struct ShellMalloc {
    IMalloc* p = nullptr;
    ~ShellMalloc()
    {
        if (p)
            p->Release();
    }
};

void ShellFolder(int csidl, char (&path)[text::kMaxText])
{
    path[0] = '\0';
    if (IsWin32s())
        return;
    ShellMalloc malloc;
    if (FAILED(SHGetMalloc(&malloc.p)) || !malloc.p)
        return;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items)
        return;
    char found[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(items, found);
    // The item list is the caller's to free, with the shell's allocator.
    malloc.p->Free(items);
    // The path and its NUL must be shorter than the field; a path of 259
    // characters would leave no room for the backslash.
    if (!ok || std::strlen(found) + 1 >= kBufferSize)
        return;
    text::CopyWhole(path, found);
    AppendBackslash(path);
}

void ColorDirectory(char (&path)[text::kMaxText])
{
    path[0] = '\0';
    if (!IsWin32s()) {
        LoadedModule mscms = LoadSystemLibrary("mscms.dll");
        if (mscms) {
            using GetColorDirectoryFn = BOOL(WINAPI*)(PCSTR, PSTR, PDWORD);
            auto getColorDirectory = ProcAddress<GetColorDirectoryFn>(mscms.Get(), "GetColorDirectoryA");
            DWORD size = kBufferSize;
            if (getColorDirectory && getColorDirectory(nullptr, path, &size)) {
                path[kBufferSize - 1] = '\0';
                return;
            }
            path[0] = '\0';
        }
    }
    FromLengthCall(path, [](char* b, DWORD n) { return GetSystemDirectoryA(b, n); });
    AppendBackslash(path);
    // Only a place to look for files: a folder that isn't there holds none,
    // and resolving a location changes nothing on the machine.
    if (path[0] == '\0' || !text::AppendWhole(path, "Color"))
        path[0] = '\0';
}

void SpoolerDirectory(bool driver, const char* environment, char (&path)[text::kMaxText])
{
    DWORD needed = 0;
    const BOOL ok = driver ? GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>(environment), 1,
                                                        reinterpret_cast<LPBYTE>(path), kBufferSize, &needed)
                           : GetPrintProcessorDirectoryA(nullptr, const_cast<LPSTR>(environment), 1,
                                                         reinterpret_cast<LPBYTE>(path), kBufferSize, &needed);
    if (!ok)
        path[0] = '\0';
    path[kBufferSize - 1] = '\0';
}

int ShellFolderOf(int id)
{
    switch (id) {
    case location::Desktop: return CSIDL_DESKTOP;
    case location::Favorites: return CSIDL_FAVORITES;
    case location::AppData: return CSIDL_APPDATA;
    case location::InternetCache: return CSIDL_INTERNET_CACHE;
    case location::Cookies: return CSIDL_COOKIES;
    case location::Fonts: return CSIDL_FONTS;
    case location::History: return CSIDL_HISTORY;
    case location::NetHood: return CSIDL_NETHOOD;
    case location::Personal: return CSIDL_PERSONAL;
    case location::PrintHood: return CSIDL_PRINTHOOD;
    case location::Programs: return CSIDL_PROGRAMS;
    case location::Recent: return CSIDL_RECENT;
    case location::SendTo: return CSIDL_SENDTO;
    case location::StartMenu: return CSIDL_STARTMENU;
    case location::Startup: return CSIDL_STARTUP;
    case location::AltStartup: return CSIDL_ALTSTARTUP;
    case location::CommonStartup: return CSIDL_COMMON_STARTUP;
    case location::CommonAltStartup: return CSIDL_COMMON_ALTSTARTUP;
    case location::Templates: return CSIDL_TEMPLATES;
    case location::ProgramFiles: return CSIDL_PROGRAM_FILES;
    case location::Printers: return CSIDL_PRINTERS;
    case location::CommonPrograms: return CSIDL_COMMON_PROGRAMS;
    default: return -1;
    }
}

void ProgramFile(char (&path)[text::kMaxText])
{
    FromLengthCall(path, [](char* b, DWORD n) { return GetModuleFileNameA(nullptr, b, n); });
}

void DirectoryOfProgram(char (&path)[text::kMaxText])
{
    ProgramFile(path);
    PathParts parts;
    parts.Split(path, AnsiLeadByte);
    path[0] = '\0';
    if (!text::AppendWhole(path, parts.drive) || !text::AppendWhole(path, parts.directory))
        path[0] = '\0';
}

// The location's full path; directories end in a backslash.
void LocationPath(int id, char (&path)[text::kMaxText])
{
    path[0] = '\0';
    if (const int csidl = ShellFolderOf(id); csidl >= 0) {
        ShellFolder(csidl, path);
        return;
    }
    switch (id) {
    case location::ProgramFile:
        ProgramFile(path);
        return;
    case location::ProgramDirectory:
        DirectoryOfProgram(path);
        break;
    case location::WindowsDirectory:
        FromLengthCall(path, [](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); });
        break;
    case location::SystemDirectory:
        FromLengthCall(path, [](char* b, DWORD n) { return GetSystemDirectoryA(b, n); });
        break;
    case location::TempDirectory:
        FromLengthCall(path, [](char* b, DWORD n) { return GetTempPathA(n, b); });
        break;
    case location::NewTempFile: {
        char directory[text::kMaxText] = {};
        FromLengthCall(directory, [](char* b, DWORD n) { return GetTempPathA(n, b); });
        if (directory[0] == '\0' || GetTempFileNameA(directory, "~~", 0, path) == 0)
            path[0] = '\0';
        return;
    }
    case location::PrinterDriverDirectory:
        SpoolerDirectory(true, nullptr, path);
        break;
    case location::PrinterDriverDirectoryWin40:
        SpoolerDirectory(true, "Windows 4.0", path);
        break;
    case location::PrintProcessorDirectory:
    case location::PrintProcessorDirectoryAlias:
        SpoolerDirectory(false, nullptr, path);
        break;
    case location::ColorDirectory:
        ColorDirectory(path);
        break;
    case location::CurrentDirectory:
        FromLengthCall(path, [](char* b, DWORD n) { return GetCurrentDirectoryA(n, b); });
        break;
    default:
        return;
    }
    AppendBackslash(path);
}

} // namespace

void FileSpec::Clear()
{
    PathParts::Clear();
    path[0] = '\0';
}

void FileSpec::SetPath(const char* fullPath)
{
    Split(fullPath ? fullPath : "", AnsiLeadByte);
}

bool FileSpec::Resolve(int locationId)
{
    Clear();
    char found[text::kMaxText] = {};
    LocationPath(locationId, found);
    SetPath(found);
    return true;
}

const char* FileSpec::Compose()
{
    ComposePath(*this, path, AnsiLeadByte);
    return path;
}

bool FileSpec::Locate()
{
    char wanted[text::kMaxText] = {};
    if (!text::AppendWhole(wanted, name) || !text::AppendWhole(wanted, extension) || wanted[0] == '\0')
        return false;
    char found[text::kMaxText] = {};
    const DWORD n = SearchPathA(nullptr, wanted, nullptr, kBufferSize, found, nullptr);
    if (n == 0 || n >= kBufferSize)
        return false;
    SetPath(found);
    return true;
}

bool FileSpec::Exists()
{
    if (Compose()[0] == '\0')
        return false;
    KernelHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

const char* FileSpec::AppendSubdirectory(const char* subdirectory)
{
    // A location that resolved empty has no subdirectory: "3" alone would
    // compose "\3\" at the root of whatever drive is current.
    if (directory[0] == '\0') {
        path[0] = '\0';
        return path;
    }
    if (subdirectory && subdirectory[0] != '\0') {
        char joined[text::kMaxText] = {};
        bool ok = text::AppendWhole(joined, directory);
        if (ok && !EndsWithSeparator(joined) && subdirectory[0] != '\\')
            ok = text::AppendWhole(joined, "\\");
        ok = ok && text::AppendWhole(joined, subdirectory);
        if (ok && !EndsWithSeparator(joined))
            ok = text::AppendWhole(joined, "\\");
        // A directory too long to hold stays as it was rather than cut.
        if (ok)
            text::CopyWhole(directory, joined);
    }
    return Compose();
}

void BuildDefaultScriptPath()
{
    DefaultScriptPath[0] = '\0';
    char program[256] = {};
    const DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
    if (n == 0 || n >= sizeof program)
        return;
    // The separator is the character after the drive's colon; a path without
    // a drive (a UNC path) uses the backslash.
    const char* colon = std::strchr(program, ':');
    const char separator = (colon && colon[1] != '\0') ? colon[1] : '\\';
    std::size_t cut = 0;
    text::ForEachChar(program, AnsiLeadByte, [&](std::size_t i) {
        if (program[i] == separator)
            cut = i + 1;
    });
    program[cut] = '\0';
    if (!text::AppendWhole(DefaultScriptPath, program) || !text::AppendWhole(DefaultScriptPath, kScriptName))
        DefaultScriptPath[0] = '\0';
}

bool PathBesideProgram(char (&out)[text::kMaxText], const char* name)
{
    FileSpec program;
    program.Resolve(location::ProgramDirectory);
    out[0] = '\0';
    if (program.directory[0] == '\0')
        return false;
    if (text::AppendWhole(out, program.drive) && text::AppendWhole(out, program.directory) &&
        text::AppendWhole(out, name))
        return true;
    out[0] = '\0';
    return false;
}
