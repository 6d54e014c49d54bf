#pragma once
// Whether the program runs with the rights of the built-in Administrators.

#include "../common/PlatformKind.h"

// Windows 9x and Win32s have no such rights: the check passes. On NT it
// passes when the process token's groups hold the Administrators SID.
bool IsAdministrator(const PlatformKind& platform);
