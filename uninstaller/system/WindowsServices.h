#pragma once
// Whether a service is one of Windows' own. Such a service, and its key,
// stay whatever a script lists: a maker's script that names "usbprint"
// would otherwise take every USB printer of the machine with it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../common/PlatformKind.h"

// The full paths the file an image path (or a ServiceDll value) names may
// have, its environment variables already expanded: "\SystemRoot\" stands
// for the Windows folder, "\??\" is dropped, a relative path is below the
// Windows folder, and of an unquoted path with spaces every reading counts
// (with ".exe" where the name has none). In doubt, more rather than fewer.
std::vector<std::string> ServiceFilePaths(std::string_view image, std::string_view windowsFolder);

// Why service `name` is Windows' own, or nothing when it is not: the file
// that runs it is one Windows protects. That file is its ServiceDll when it
// has one (a shared host such as svchost.exe runs it, and that host is
// Windows' whoever's service it runs); otherwise the program of its image
// path, which for a driver without one is System32\drivers\<name>.sys. A
// service that is not there is nobody's; a key below Services without a
// type is no service but settings kept there, which stay; one whose key or
// paths can't be read stays, and the reason says so.
std::optional<std::string> WindowsServiceReason(const PlatformKind& platform, const char* name);
