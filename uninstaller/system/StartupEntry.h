#pragma once
// Programs that Windows starts when it comes up: the Run key of the registry,
// or on Win32s the "load" line of WIN.INI.

#include "../common/PlatformKind.h"

class Door;

// Makes `command` start with Windows. Outside Win32s it becomes the value
// `valueName` (the key's default value when null) of the machine's Run key;
// on Win32s it is appended to the "windows" "Load" line unless the line
// already holds it (exact letter case). 1 when the entry is in place, 0
// when the key can't be opened or written, or the line would grow past 255
// characters.
int AddStartupEntry(Door& door, const char* valueName, const char* command, const PlatformKind& platform);
