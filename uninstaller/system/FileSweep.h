#pragma once
// Deleting the files of listed names wherever they lie in a directory tree.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "../common/PlatformKind.h"

class Door;

// The names sought in one walk, letter case ignored, whole names only.
class SweepNames {
public:
    SweepNames() = default;
    explicit SweepNames(std::vector<std::string> names);
    bool Holds(std::string_view name) const;
    bool Empty() const { return names_.empty(); }

private:
    std::vector<std::string> names_; // sorted, without duplicates
};

// Asked for every found file of a sought name before it goes; true keeps it
// (and the function records why).
using KeepFile = std::function<bool(const char* path)>;

// Walks `directory` and, while `depth` is above 0, its subdirectories one
// level less deep, deleting every file whose name is sought with
// the door's DeleteOrScheduleFile. Subdirectories whose names begin with "." and
// junctions or symbolic links (reparse points) are not entered; with
// `removeEmptiedDirectories` an entered subdirectory from which the walk
// took files is removed when it is empty afterwards (one that was empty
// before stays). A directory of a sought name is walked, not deleted.
// 1 when at least one found file was scheduled for the next start, else 0.
// With `clearReadOnlyAtTop` a found file of `directory` itself loses its
// read-only attribute before it is deleted; files further down keep theirs.
// `firstPending`, when given and still empty, gets the path of the first
// file scheduled for the next start; `removed`, when given, the number of files
// the walk took away (deleted, scheduled or, in a dry run, would be);
// `scheduled`, the files and emptied folders it left for the next start
// (each such folder is scheduled too, on NT).
int DeleteNamedFilesInTree(Door& door, const PlatformKind& platform, const char* directory, const SweepNames& names,
                           unsigned depth, bool removeEmptiedDirectories, const KeepFile& keep = {},
                           bool clearReadOnlyAtTop = false, std::string* firstPending = nullptr,
                           int* removed = nullptr, std::vector<std::string>* scheduled = nullptr);

// On NT, schedules `folder` for removal at the next start when all it still
// holds is in `scheduled` (files and folders that go then), and adds it.
void ScheduleIfOnlyScheduledLeft(Door& door, const PlatformKind& platform, const std::string& folder,
                                 std::vector<std::string>& scheduled);

// The same for one name.
int DeleteNamedFilesInTree(Door& door, const PlatformKind& platform, const char* directory, const char* fileName,
                           unsigned depth, bool removeEmptiedDirectories);
