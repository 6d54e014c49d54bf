#include "ScriptFiles.h"

#include <windows.h>

#include <cstdio>

#include "../app/DriverFileNames.h"
#include "../common/AnsiLeadByte.h"
#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/FileSpec.h"
#include "FileDeletion.h"
#include "FileProtection.h"
#include "FileSweep.h"
#include "MachineFolders.h"
#include "ZwininitDelete.h"

namespace {

// Every environment a driver, monitor or processor of this machine may be
// of, the running one among them; a spooler without one says so.
const char* const kEnvironments[] = {"Windows x64", "Windows NT x86", "Windows 4.0", "Windows IA64", "Windows ARM64"};

void ClearReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

// `<directory><name>` for a directory that ends in a backslash; false when
// the directory is no full path or the result doesn't fit.
bool InFolder(char (&out)[text::kMaxText], const char* format, const char* directory, const char* name)
{
    out[0] = '\0';
    if (!IsFullPath(directory))
        return false;
    const int length = std::snprintf(out, sizeof out, format, directory, name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof out) {
        out[0] = '\0';
        return false;
    }
    return true;
}

// The attribute of a file that is kept is never changed either.
void ClearReadOnlyOf(const PlatformKind& platform, const char* format, const char* directory, const char* name)
{
    char path[text::kMaxText];
    if (InFolder(path, format, directory, name) && !IsProtectedByWindows(platform, path))
        ClearReadOnly(path);
}

// Name and extension of a listed file, without any directory it names.
std::string BareName(const std::string& listed)
{
    PathParts parts;
    parts.Split(listed, AnsiLeadByte);
    std::string name = std::string(parts.name) + parts.extension;
    // One spelling per file: a short name, a stream, a wildcard or a
    // trailing dot or space would let Windows find a file of another name,
    // one the checks below never saw.
    if (name.empty() || name.back() == '.' || name.back() == ' ')
        return {};
    // Characters of their own only: a Shift-JIS trail byte may be '|' or '~'.
    bool plain = true;
    text::ForEachChar(name, AnsiLeadByte, [&](std::size_t i) {
        const char c = name[i];
        const bool refused = std::string_view(":*?\"<>|/~").find(c) != std::string_view::npos;
        plain = plain && static_cast<unsigned char>(c) >= 32 && !refused;
    });
    return plain ? name : std::string();
}

// The names that may go: a name a driver that stays lists is kept, and
// when the spooler could not say which those are, every name is.
std::vector<std::string> DeletableNames(RemovalState& state, const std::vector<std::string>& fileNames)
{
    if (!state.StayingDriverFilesRead)
        ReadStayingDriverFiles(state);
    std::vector<std::string> names;
    if (!state.StayingDriverFiles)
        return names;
    const SweepNames staying(*state.StayingDriverFiles);
    for (const std::string& listed : fileNames) {
        std::string name = BareName(listed);
        if (!name.empty() && !staying.Holds(name))
            names.push_back(std::move(name));
    }
    return names;
}

KeepFile Protected(const RemovalState& state)
{
    return [&state](const char* path) { return IsProtectedByWindows(state.Platform, path); };
}

void MarkRestart(RemovalState& state)
{
    state.Database->RestartRequired = 1;
}

void FromSystemFolders(RemovalState& state, const std::vector<std::string>& names)
{
    const bool xp = state.Platform.versionKind() == platform::kKindXP;
    for (const std::string& folder : state.SystemFolders) {
        for (const std::string& name : names) {
            char path[text::kMaxText];
            if (!InFolder(path, "%s%s", folder.c_str(), name.c_str()))
                continue;
            if (xp && folder == state.WindowsDirectory) {
                ClearReadOnlyOf(state.Platform, "%sLastGood\\System32\\%s", state.WindowsDirectory, name.c_str());
                ClearReadOnlyOf(state.Platform, "%sLastGood.Tmp\\System32\\%s", state.WindowsDirectory, name.c_str());
            }
            // Most listed names are of other models or platforms: a missing
            // file counts as deleted without a deletion being tried. A folder
            // of that name is no file to delete.
            const DWORD attributes = GetFileAttributesA(path);
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                    continue;
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                continue;
            }
            if (IsProtectedByWindows(state.Platform, path))
                continue;
            ClearReadOnly(path);
            if (DeleteOrScheduleFile(state.Platform, path) == 0)
                MarkRestart(state);
        }
    }
}

void FromSpoolerFolders(RemovalState& state, const SweepNames& sought, const std::vector<std::string>& names)
{
    const std::uint32_t kind = state.Platform.versionKind();
    const bool versioned = kind == platform::kKindWin2000 || kind == platform::kKindXP;
    for (const std::string& folder : state.SpoolerFolders) {
        if (!IsFullPath(folder.c_str()))
            continue;
        if (versioned && folder == state.PrinterDriverDirectory) {
            for (const std::string& name : names) {
                ClearReadOnlyOf(state.Platform, "%s3\\%s", state.PrinterDriverDirectory, name.c_str());
                if (kind == platform::kKindXP && state.DriverSubdirectory[0] != '\0')
                    ClearReadOnlyOf(state.Platform, "%s%s", state.DriverSubdirectory, name.c_str());
            }
        }
        // The walk clears the attribute of a file found in the folder itself.
        if (DeleteNamedFilesInTree(state.Platform, folder.c_str(), sought, 2, false, Protected(state), true))
            MarkRestart(state);
    }
}

void FromOemFolders(RemovalState& state, const SweepNames& sought)
{
    const ItemList& entries = state.Database->Merged.OemFolders;
    if (entries.empty())
        return;
    const MachineFolders machine;
    for (const std::string& entry : entries) {
        // The folder part only: a path without a closing backslash names
        // its parent.
        const std::size_t separator = text::LastSeparator(entry, AnsiLeadByte);
        if (separator == std::string::npos)
            continue;
        const std::string directory = entry.substr(0, separator + 1);
        // Three levels deep, every emptied folder removed: started at the
        // root of a drive or a folder of Windows, that would take every file
        // of these names and every empty folder on the way.
        // Checked as written and as the folder really is: a junction or a
        // short name may lead to the same places.
        if (!machine.MaySweep(directory) || !machine.MaySweep(MachineFolders::RealPath(directory)))
            continue;
        if (DeleteNamedFilesInTree(state.Platform, directory.c_str(), sought, 3, true, Protected(state)))
            MarkRestart(state);
        RemoveDirectoryA(directory.c_str());
    }
}

constexpr char kPrintKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\";

// Appends the "Driver" value of every subkey of `path`: the library of each
// monitor or print processor registered there. False when the key is there
// but can't be read; a missing key has nothing in it.
bool AddLibrariesUnder(const std::string& path, ItemList& files)
{
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    const RegistryKey key{opened};
    for (DWORD index = 0;; ++index) {
        char name[text::kMaxText] = {};
        DWORD nameSize = sizeof name;
        const LONG found = RegEnumKeyExA(key.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS)
            return true;
        if (found != ERROR_SUCCESS)
            return false;
        char library[text::kMaxText] = {};
        DWORD size = sizeof library - 1;
        if (RegGetValueA(key.Get(), name, "Driver", RRF_RT_REG_SZ, nullptr, library, &size) != ERROR_SUCCESS)
            continue;
        const std::string_view path(library);
        const std::size_t separator = text::LastSeparator(path, AnsiLeadByte);
        if (!path.empty())
            files.emplace_back(separator == std::string_view::npos ? path : path.substr(separator + 1));
    }
}

std::string ResolvedDirectory(int locationId)
{
    FileSpec spec;
    spec.Resolve(locationId);
    return spec.Compose();
}

} // namespace

void ReadStayingDriverFiles(RemovalState& state)
{
    state.StayingDriverFilesRead = true;
    state.StayingDriverFiles.reset();
    ItemList files;
    for (const char* environment : kEnvironments) {
        DriverFileNames drivers(environment);
        if (drivers.AllFiles(files))
            continue;
        // A spooler without that environment has no driver in it.
        if (drivers.Error() != ERROR_INVALID_ENVIRONMENT)
            return;
    }
    // The monitors and print processors that stay load their libraries
    // too; those that go are no longer registered by now.
    if (!AddLibrariesUnder(std::string(kPrintKey) + "Monitors", files))
        return;
    for (const char* environment : kEnvironments)
        if (!AddLibrariesUnder(std::string(kPrintKey) + "Environments\\" + environment + "\\Print Processors", files))
            return;
    SortAndUniqueItems(files);
    state.StayingDriverFiles = std::move(files);
}

void RemoveFilesFromSystemFolders(RemovalState& state, const std::vector<std::string>& fileNames)
{
    if (!state.Database)
        return;
    const std::vector<std::string> names = DeletableNames(state, fileNames);
    if (names.empty())
        return;
    const SweepNames sought(names);
    FromSystemFolders(state, names);
    FromSpoolerFolders(state, sought, names);
    FromOemFolders(state, sought);
}

void RemoveFileFromSystemFolders(RemovalState& state, const char* fileName)
{
    if (fileName && *fileName)
        RemoveFilesFromSystemFolders(state, {fileName});
}

void PrepareDriverPaths(RemovalState& state)
{
    state.WindowsDirectory[0] = '\0';
    state.PrinterDriverDirectory[0] = '\0';
    state.DriverSubdirectory[0] = '\0';
    text::CopyWhole(state.WindowsDirectory, ResolvedDirectory(location::WindowsDirectory));
    text::CopyWhole(state.PrinterDriverDirectory, ResolvedDirectory(location::PrinterDriverDirectory));
    if (!state.Database)
        return;
    ItemList& subdirectories = state.Database->Merged.Directorys;
    SortAndUniqueItems(subdirectories);
    if (subdirectories.empty() || !IsFullPath(state.PrinterDriverDirectory))
        return;
    // A folder inside the driver directory, never one above it or elsewhere.
    const std::string& first = subdirectories.front();
    if (first.empty() || first.find(':') != std::string::npos || first.front() == '\\' || first.front() == '/' ||
        HasDotComponent(first))
        return;
    char subdirectory[text::kMaxText] = {};
    if (text::CopyWhole(subdirectory, state.PrinterDriverDirectory) && text::AppendWhole(subdirectory, first) &&
        text::AppendWhole(subdirectory, "\\"))
        text::CopyWhole(state.DriverSubdirectory, subdirectory);
}

void RemoveScriptFiles(RemovalState& state)
{
    if (!state.Database)
        return;
    ItemList& files = state.Database->Merged.Files;
    SortAndUniqueItems(files);
    std::vector<std::string> names;
    bool zreg32s = false;
    for (const std::string& entry : files) {
        std::string name = entry.substr(0, entry.find('='));
        if (name.empty())
            continue;
        zreg32s = zreg32s || text::FoldEqual(name, "zreg32s.ini");
        names.push_back(std::move(name));
    }
    RemoveFilesFromSystemFolders(state, names);

    UninstallDatabase& database = *state.Database;
    if (database.KeptPrinterCount != 0)
        return;
    // The restart program goes with the last printer, unless a deletion
    // already waits for it.
    if (!state.Platform.isWin32s()) {
        if (database.RestartRequired == 0)
            RemoveFileFromSystemFolders(state, "ZRESTART.EXE");
    } else if (zreg32s) {
        char path[text::kMaxText];
        const std::string windows = ResolvedDirectory(location::WindowsDirectory);
        if (InFolder(path, "%s%s", windows.c_str(), "zreg32s.ini"))
            AddZwininitDelete(path);
    }
}

void RemoveDriverSubdirectory(RemovalState& state)
{
    if (state.DriverSubdirectory[0] == '\0')
        return;
    ClearReadOnly(state.DriverSubdirectory);
    RemoveDirectoryA(state.DriverSubdirectory);
}
