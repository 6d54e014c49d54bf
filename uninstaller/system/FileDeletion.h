#pragma once
// The one way the removal deletes a file: now, or, when Windows refuses, at
// the next start of Windows by the mechanism of the running version.

#include "../spooler/PlatformKind.h"

// 1 when the file is gone now (deleted, or it was not there); 0 when it is
// not, in which case deletion at the next start has been asked for as far as
// the platform allows. A path that is not a full path (a drive and a
// backslash, or a share) is refused and touched in no way: it would name a
// file of whatever the current directory is. The refusal answers 1, since
// nothing waits for a restart.
int DeleteOrScheduleFile(const PlatformKind& platform, const char* path);

// Appends "NUL=<path>" to WININIT.INI in the Windows directory, creating the
// file with its "[RENAME]" header when it is missing. Nothing is written when
// the file can't be opened or the path is not a full path.
void AppendWininitDelete(const char* path);

// Whether `path` starts with a drive letter, a colon and a backslash, or
// with two backslashes and a server name.
bool IsFullPath(const char* path);
