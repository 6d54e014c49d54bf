#pragma once
// The one way the removal deletes a file: now, or, when Windows refuses, at
// the next start of Windows by the mechanism of the running version.

#include "../common/PlatformKind.h"

// 1 when the file is gone now (deleted, or it was not there); 0 when it is
// not, in which case deletion at the next start has been asked for as far as
// the platform allows. A path that is not a full path (a drive and a
// backslash, or a share) is refused and touched in no way: it would name a
// file of whatever the current directory is. The refusal answers 1, since
// nothing waits for a restart. The outcome goes to the journal as a file's.
int DeleteOrScheduleFile(const PlatformKind& platform, const char* path);

// What became of a file the removal meant to delete.
enum class FileFate {
    Deleted,
    NotThere,
    Scheduled, // at the next start
    Failed,    // neither deleted nor scheduled
    Refused,
    WouldDelete, // a dry run
};

// The same, recorded in the journal under `operation`, except a file that
// is not there: most listed names are of other models, and the caller
// records one line for a name found nowhere. In a dry run nothing is
// touched; a file a dry run already counts as gone is not there.
FileFate DeleteOrScheduleFileAs(const char* operation, const PlatformKind& platform, const char* path);

// Appends "NUL=<path>" to WININIT.INI in the Windows directory, creating the
// file with its "[RENAME]" header when it is missing. Nothing is written when
// the file can't be opened or the path is not a full path; true when the
// line was written.
bool AppendWininitDelete(const char* path);

// Whether `path` starts with a drive letter, a colon and a backslash, or
// with two backslashes and a server name.
bool IsFullPath(const char* path);
