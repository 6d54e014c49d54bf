#pragma once
// Where the spooler keeps its drivers, monitors and print processors under
// HKEY_LOCAL_MACHINE: read by the removal operations, and by the dry run to
// know what a deletion of the spooler's takes along.

#include <string>
#include <vector>

#include "../common/PlatformKind.h"

// The keys of one driver of an environment (nullptr: the running one): one
// for each driver version on the NT family, one on Windows 9x, none on
// Win32s.
std::vector<std::string> DriverKeys(const PlatformKind& platform, const char* environment, const char* driver);
// Both families' keys, whatever the platform.
std::vector<std::string> AnyDriverKeys(const char* environment, const char* driver);

// A port monitor's key.
std::string MonitorKey(const char* monitor);

// A print processor's key of an environment; empty on Win32s.
std::string PrintProcessorKey(const PlatformKind& platform, const char* environment, const char* processor);
