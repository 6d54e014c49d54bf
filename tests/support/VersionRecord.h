#pragma once
// A version record as GetVersionExA fills it, so that a PlatformKind of any
// Windows can be built on this machine.

#include <windows.h>

namespace bed {

inline OSVERSIONINFOA VersionRecord(DWORD platformId, DWORD major, DWORD minor)
{
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    v.dwPlatformId = platformId;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    return v;
}

} // namespace bed
