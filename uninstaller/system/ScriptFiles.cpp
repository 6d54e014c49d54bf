#include "ScriptFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <set>

#include "../common/AnsiLeadByte.h"
#include "../common/Handles.h"
#include "../common/Text.h"
#include "../common/WideText.h"
#include "../script/FileSpec.h"
#include "../door/Door.h"
#include "FileProtection.h"
#include "FileSweep.h"
#include "../common/Journal.h"
#include "../script/PathParts.h"
#include "MachineFolders.h"

namespace {

using namespace journal::op;

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
void ClearReadOnlyOf(RemovalState& state, const char* format, const char* directory, const char* name)
{
    char path[text::kMaxText];
    if (InFolder(path, format, directory, name) && !IsProtectedByWindows(state.Platform, path))
        state.Changes.ClearReadOnly(path);
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

// Why a driver, monitor or print processor that stays needs the file of
// this name, or nullptr when none lists it.
const std::string* StayingReason(const RemovalState& state, std::string_view name)
{
    const ItemList& files = *state.StayingDriverFiles;
    const auto at = std::lower_bound(files.begin(), files.end(), name, [](const std::string& item, std::string_view n) {
        return text::FoldCompare(item, n) < 0;
    });
    if (at == files.end() || text::FoldCompare(*at, name) != 0)
        return nullptr;
    const auto index = static_cast<std::size_t>(at - files.begin());
    return index < state.StayingDriverFileReasons.size() ? &state.StayingDriverFileReasons[index] : nullptr;
}

// Why the file `path` opens must stay by its name as the file system has
// it, which may differ from the listed one by more than A-Z letter case;
// empty when it may go. Unable to read that name, it stays.
std::string RealNameKeepReason(const RemovalState& state, const char* path)
{
    WIN32_FIND_DATAA data{};
    FindHandle find(FindFirstFileA(path, &data));
    if (!find)
        return "its name on disk could not be read";
    if (!state.StayingDriverFiles)
        return state.StayingUnknownReason;
    if (const std::string* reason = StayingReason(state, data.cFileName))
        return *reason;
    // Then as the file system compares names, which folds far more than A-Z
    // (full-width letters, accented ones).
    const std::wstring real = Widen(data.cFileName);
    const ItemList& files = *state.StayingDriverFiles;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring staying = Widen(files[i]);
        if (!real.empty() && CompareStringOrdinal(real.c_str(), static_cast<int>(real.size()), staying.c_str(),
                                                  static_cast<int>(staying.size()), TRUE) == CSTR_EQUAL)
            return i < state.StayingDriverFileReasons.size() ? state.StayingDriverFileReasons[i]
                                                             : std::string("used by what stays");
    }
    return {};
}

// The names that may go: a name a driver that stays lists is kept, and
// when the spooler could not say which those are, every name is.
std::vector<std::string> DeletableNames(RemovalState& state, const std::vector<std::string>& fileNames)
{
    std::vector<std::string> names;
    for (const std::string& listed : fileNames) {
        std::string name = BareName(listed);
        if (name.empty()) {
            journal::Kept(kFile, listed.c_str(), "refused as unsafe");
        } else if (!state.StayingDriverFilesRead || !state.StayingDriverFiles) {
            journal::Kept(kFile, name.c_str(), state.StayingUnknownReason.c_str());
        } else if (const std::string* reason = StayingReason(state, name)) {
            journal::Kept(kFile, name.c_str(), reason->c_str());
        } else {
            names.push_back(std::move(name));
        }
    }
    return names;
}

struct FoldLess {
    bool operator()(const std::string& a, const std::string& b) const { return text::FoldCompare(a, b) < 0; }
};
// The sought names found in at least one folder.
using FoundNames = std::set<std::string, FoldLess>;

void NoteFound(FoundNames& found, std::string_view path)
{
    const std::size_t separator = text::LastSeparator(path, AnsiLeadByte);
    found.emplace(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

KeepFile Protected(const RemovalState& state, FoundNames& found)
{
    return [&state, &found](const char* path) {
        NoteFound(found, path);
        if (!IsProtectedByWindows(state.Platform, path))
            return false;
        journal::Kept(kFile, path, "protected by Windows");
        return true;
    };
}

// A file that waits for the next start needs it.
void MarkRestart(RemovalState& state, const std::string& path)
{
    RequireRestart(*state.Database, path + " is in use");
}

void FromSystemFolders(RemovalState& state, const std::vector<std::string>& names, FoundNames& found)
{
    const bool xp = state.Platform.versionKind() == platform::kKindXP;
    for (const std::string& folder : state.SystemFolders) {
        for (const std::string& name : names) {
            char path[text::kMaxText];
            if (!InFolder(path, "%s%s", folder.c_str(), name.c_str()))
                continue;
            if (xp && folder == state.WindowsDirectory) {
                ClearReadOnlyOf(state, "%sLastGood\\System32\\%s", state.WindowsDirectory, name.c_str());
                ClearReadOnlyOf(state, "%sLastGood.Tmp\\System32\\%s", state.WindowsDirectory, name.c_str());
            }
            // Most listed names are of other models or platforms: a missing
            // file counts as deleted without a deletion being tried. A folder
            // of that name is no file to delete.
            const DWORD attributes = GetFileAttributesA(path);
            if (attributes == INVALID_FILE_ATTRIBUTES) {
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                    continue;
            } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || state.Changes.Gone(kFile, path)) {
                continue;
            }
            NoteFound(found, path);
            if (IsProtectedByWindows(state.Platform, path)) {
                journal::Kept(kFile, path, "protected by Windows");
                continue;
            }
            // The file system folds more letters than the staying names are
            // compared with: the file the path opens is judged by its own name.
            if (const std::string keep = RealNameKeepReason(state, path); !keep.empty()) {
                journal::Kept(kFile, path, keep.c_str());
                continue;
            }
            state.Changes.ClearReadOnly(path);
            const FileFate fate = state.Changes.DeleteOrScheduleFile(kFile, state.Platform, path);
            if (fate == FileFate::Scheduled)
                MarkRestart(state, path);
        }
    }
}

void FromSpoolerFolders(RemovalState& state, const SweepNames& sought, const std::vector<std::string>& names,
                        FoundNames& found)
{
    const std::uint32_t kind = state.Platform.versionKind();
    const bool versioned = kind == platform::kKindWin2000 || kind == platform::kKindXP;
    for (const std::string& folder : state.SpoolerFolders) {
        if (!IsFullPath(folder.c_str()))
            continue;
        if (versioned && folder == state.PrinterDriverDirectory) {
            for (const std::string& name : names) {
                ClearReadOnlyOf(state, "%s3\\%s", state.PrinterDriverDirectory, name.c_str());
                if (kind == platform::kKindXP && state.DriverSubdirectory[0] != '\0')
                    ClearReadOnlyOf(state, "%s%s", state.DriverSubdirectory, name.c_str());
            }
        }
        // The walk clears the attribute of a file found in the folder itself.
        std::string pending;
        if (DeleteNamedFilesInTree(state.Changes, state.Platform, folder.c_str(), sought, 2, false,
                                   Protected(state, found), true, &pending))
            MarkRestart(state, pending);
    }
}

// `tell`: the folders' refusals and absences are told; a later pass of the
// same run judges them alike and says nothing more.
void FromOemFolders(RemovalState& state, const SweepNames& sought, FoundNames& found, bool tell)
{
    const ItemList& entries = state.Database->Merged.OemFolders;
    if (entries.empty())
        return;
    const MachineFolders machine;
    for (const std::string& entry : entries) {
        // The folder the installer recorded, with or without its closing
        // backslash; never the folder above it, which is anybody's.
        std::string directory = entry;
        if (!text::EndsWithSeparator(directory, AnsiLeadByte))
            directory.push_back('\\');
        // Three levels deep, every emptied folder removed: started at the
        // root of a drive, a folder of Windows or a user's, that would take
        // every file of these names and every folder emptied on the way.
        // Checked as written and as the folder really is: a junction or a
        // short name may lead to the same places.
        std::string refusal = machine.SweepRefusal(directory);
        if (refusal.empty()) {
            const std::string real = MachineFolders::RealPath(directory);
            // A folder this run took already is not found again.
            const DWORD attributes = GetFileAttributesA(entry.c_str());
            if (state.Changes.Gone(kFolder, directory.c_str()) ||
                (real.empty() && attributes == INVALID_FILE_ATTRIBUTES)) {
                if (tell)
                    journal::NotPresent(kFolder, directory.c_str());
                continue;
            }
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (tell)
                    journal::Kept(kFolder, entry.c_str(), "names a file, not a folder");
                continue;
            }
            refusal = machine.SweepRefusal(real);
        }
        if (!refusal.empty()) {
            if (tell)
                journal::Kept(kFolder, directory.c_str(), refusal.c_str());
            continue;
        }
        std::string pending;
        int removed = 0;
        std::vector<std::string> scheduled;
        const bool waits = DeleteNamedFilesInTree(state.Changes, state.Platform, directory.c_str(), sought, 3, true,
                                                  Protected(state, found), false, &pending, &removed, &scheduled);
        if (waits)
            MarkRestart(state, pending);
        // The folder goes only when the sweep emptied it, at the next start
        // when what is left in it goes then.
        if (removed > 0 && !state.Changes.RemoveFolder(directory.c_str(), WhenNotEmpty::Silent) && waits)
            ScheduleIfOnlyScheduledLeft(state.Changes, state.Platform, directory, scheduled);
    }
}

std::string ResolvedDirectory(int locationId)
{
    FileSpec spec;
    spec.Resolve(locationId);
    return spec.Compose();
}

void RemoveNamedFiles(RemovalState& state, const std::vector<std::string>& fileNames, bool oemFolders,
                      bool tellFolders = true)
{
    if (!state.Database)
        return;
    const std::vector<std::string> names = DeletableNames(state, fileNames);
    if (names.empty())
        return;
    const SweepNames sought(names);
    FoundNames found;
    FromSystemFolders(state, names, found);
    FromSpoolerFolders(state, sought, names, found);
    if (oemFolders)
        FromOemFolders(state, sought, found, tellFolders);
    for (const std::string& name : names)
        if (found.count(name) == 0)
            journal::NotPresent(kFile, name.c_str());
}

// The names (before any "=") of the listed files, the uninstall scripts
// among them, which the plan is read from, or the others.
std::vector<std::string> ListedNames(UninstallDatabase& database, bool scripts)
{
    std::vector<std::string> scriptNames;
    for (const UninstallProfile& profile : database.Profiles) {
        PathParts script;
        script.Split(profile.ScriptPath);
        scriptNames.push_back(std::string(script.name) + std::string(script.extension));
    }
    ItemList& files = database.Merged.Files;
    SortAndUniqueItems(files);
    std::vector<std::string> names;
    for (const std::string& entry : files) {
        std::string name = entry.substr(0, entry.find('='));
        if (!name.empty() && HoldsItem(scriptNames, name) == scripts)
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace

void RemoveFilesFromSystemFolders(RemovalState& state, const std::vector<std::string>& fileNames)
{
    RemoveNamedFiles(state, fileNames, true);
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
    // The uninstall scripts wait for the end (RemoveUninstallScripts): a run
    // cut off before then finds its plan again when it is run once more.
    const std::vector<std::string> names = ListedNames(*state.Database, false);
    const bool zreg32s = std::any_of(names.begin(), names.end(),
                                     [](const std::string& name) { return text::FoldEqual(name, "zreg32s.ini"); });
    RemoveFilesFromSystemFolders(state, names);

    UninstallDatabase& database = *state.Database;
    if (database.KeptPrinterCount != 0)
        return;
    // The restart program goes with the last printer, unless a deletion
    // already waits for it.
    if (!state.Platform.isWin32s()) {
        if (database.RestartRequired == 0)
            RemoveNamedFiles(state, {"ZRESTART.EXE"}, true, false);
    } else if (zreg32s) {
        char path[text::kMaxText];
        const std::string windows = ResolvedDirectory(location::WindowsDirectory);
        if (InFolder(path, "%s%s", windows.c_str(), "zreg32s.ini"))
            state.Changes.ScheduleWithDeleter(kFile, path);
    }
}

void RemoveUninstallScripts(RemovalState& state)
{
    // The scripts are read from the system's and the spooler's folders
    // alone, and taken from there.
    if (state.Database)
        RemoveNamedFiles(state, ListedNames(*state.Database, true), false);
}

void RemoveDriverSubdirectory(RemovalState& state)
{
    if (state.DriverSubdirectory[0] == '\0')
        return;
    state.Changes.ClearReadOnly(state.DriverSubdirectory);
    state.Changes.RemoveFolder(state.DriverSubdirectory, WhenNotEmpty::Kept);
}
