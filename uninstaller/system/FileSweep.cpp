#include "FileSweep.h"

#include <windows.h>

#include <algorithm>

#include "../common/AnsiLeadByte.h"
#include "../common/Handles.h"
#include "../common/Text.h"
#include "../door/Door.h"
#include "../script/PathParts.h"
#include "../script/UninstallProfile.h"

namespace {

bool IsDirectory(const WIN32_FIND_DATAA& found)
{
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// `<directory>\<name>`, when it fits a path buffer.
bool Join(std::string& out, std::string_view directory, std::string_view name)
{
    out.assign(directory);
    if (!out.empty() && !text::EndsWithSeparator(out, AnsiLeadByte))
        out.push_back('\\');
    out.append(name);
    return out.size() < text::kMaxText;
}

struct Sweep {
    Door& door;
    const PlatformKind& platform;
    const SweepNames& names;
    bool removeEmptied;
    const KeepFile& keep;
    bool clearReadOnlyAtTop;
    std::string* firstPending;
    // What this walk left for the next start: files and folders.
    std::vector<std::string>& scheduled;

    // What a walk did: files it could not delete now, and files it took
    // (or, in a dry run, would take) away.
    struct Result {
        int pending = 0;
        int removed = 0;
    };

    Result Walk(const std::string& directory, unsigned depth, bool top) const
    {
        Result result;
        std::string pattern;
        if (!Join(pattern, directory, "*.*"))
            return result;
        WIN32_FIND_DATAA found{};
        FindHandle search(FindFirstFileA(pattern.c_str(), &found));
        if (!search)
            return result;
        std::string path;
        do {
            const std::string_view name = found.cFileName;
            if (name == "." || name == ".." || !Join(path, directory, name))
                continue;
            if (!IsDirectory(found)) {
                // A file this run took already is not found by the real run.
                if (!names.Holds(name) || door.Gone(journal::op::kFile, path.c_str()) || (keep && keep(path.c_str())))
                    continue;
                if (top && clearReadOnlyAtTop && (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
                    door.ClearReadOnly(path.c_str());
                const FileFate fate = door.DeleteOrScheduleFile(journal::op::kFile, platform, path.c_str());
                if (fate == FileFate::Deleted || fate == FileFate::WouldDelete || fate == FileFate::Scheduled)
                    ++result.removed;
                // Only a file that goes at the next start needs that start;
                // one that neither went nor was scheduled stays as it is.
                if (fate == FileFate::Scheduled) {
                    result.pending = 1;
                    scheduled.push_back(path);
                    if (firstPending && firstPending->empty())
                        *firstPending = path;
                }
                continue;
            }
            // A link leads out of the tree that was given: neither entered
            // nor removed.
            if (name.front() == '.' || depth == 0 || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            const Result below = Walk(path, depth - 1, false);
            result.pending |= below.pending;
            result.removed += below.removed;
            // Only a folder this walk emptied goes: one that was empty
            // before is somebody's, not the package's.
            if (removeEmptied && below.removed > 0 && !door.RemoveFolder(path.c_str(), WhenNotEmpty::Silent) &&
                below.pending)
                ScheduleIfOnlyScheduledLeft(door, platform, path, scheduled);
        } while (FindNextFileA(search.Get(), &found));
        return result;
    }
};

} // namespace

void ScheduleIfOnlyScheduledLeft(Door& door, const PlatformKind& platform, const std::string& folder,
                                 std::vector<std::string>& scheduled)
{
    // Only NT removes a folder at the next start.
    if (!platform.isNT())
        return;
    std::string pattern;
    if (!Join(pattern, folder, "*.*"))
        return;
    WIN32_FIND_DATAA found{};
    FindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search)
        return;
    std::string path;
    do {
        const std::string_view name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (!Join(path, folder, name) || std::none_of(scheduled.begin(), scheduled.end(), [&](const std::string& s) {
                return text::FoldEqual(s, path);
            }))
            return;
    } while (FindNextFileA(search.Get(), &found));
    if (door.ScheduleFolderRemoval(folder.c_str()))
        scheduled.push_back(folder);
}

SweepNames::SweepNames(std::vector<std::string> names) : names_(std::move(names))
{
    SortAndUniqueItems(names_);
}

bool SweepNames::Holds(std::string_view name) const
{
    const auto at = std::lower_bound(names_.begin(), names_.end(), name, [](const std::string& item, std::string_view n) {
        return text::FoldCompare(item, n) < 0;
    });
    return at != names_.end() && text::FoldCompare(*at, name) == 0;
}

int DeleteNamedFilesInTree(Door& door, const PlatformKind& platform, const char* directory, const SweepNames& names,
                           unsigned depth, bool removeEmptiedDirectories, const KeepFile& keep,
                           bool clearReadOnlyAtTop, std::string* firstPending, int* removed,
                           std::vector<std::string>* scheduled)
{
    // An empty directory would make the pattern "*.*" of the current one.
    if (!directory || !IsFullPath(directory) || names.Empty())
        return 0;
    std::vector<std::string> own;
    const Sweep sweep{door, platform, names, removeEmptiedDirectories, keep, clearReadOnlyAtTop, firstPending,
                      scheduled ? *scheduled : own};
    const Sweep::Result result = sweep.Walk(directory, depth, true);
    if (removed)
        *removed = result.removed;
    return result.pending;
}

int DeleteNamedFilesInTree(Door& door, const PlatformKind& platform, const char* directory, const char* fileName,
                           unsigned depth, bool removeEmptiedDirectories)
{
    if (!fileName || !*fileName)
        return 0;
    return DeleteNamedFilesInTree(door, platform, directory, SweepNames({fileName}), depth, removeEmptiedDirectories);
}
