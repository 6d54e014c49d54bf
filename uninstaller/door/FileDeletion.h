#pragma once
// Deletion at the next start of Windows, by the mechanism of the running
// version: the door's own work when a file can't go now.

#include "../common/PlatformKind.h"

// Asks for `path` to be deleted at the next start: a delayed move on the NT
// family, a line of WININIT.INI on Windows 95, 98 and Me, the companion
// deleter's list on Win32s and NT 3.x. True when the request was recorded.
bool ScheduleAtRestart(const PlatformKind& platform, const char* path);

// Appends "NUL=<path>" to WININIT.INI in the Windows directory, creating the
// file with its "[RENAME]" header when it is missing. Nothing is written when
// the file can't be opened or the path is not a full path; true when the
// line was written.
bool AppendWininitDelete(const char* path);
