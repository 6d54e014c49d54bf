#pragma once
// Deletion at the next start of Windows where the platform has no delayed
// move of its own: the companion deleter zwininit.exe beside the program
// works through its list zwininit.ini there.

// Lists `path` in section "RENAME" of zwininit.ini as `<path>=NUL`. 1 when
// the entry was written; 0 when zwininit.exe is not beside the program, the
// program's own directory can't be had, the path is empty or longer than 259
// characters, or the write fails. Without the deleter nothing is written.
int AddZwininitDelete(const char* path);
