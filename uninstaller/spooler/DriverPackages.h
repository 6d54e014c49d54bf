#pragma once
// Which driver package each installed driver came from, as the spooler
// reports it: the driver-store INF of the driver's record, matched to the
// OEM INF it was published as ("oem42.inf"). On Windows with a driver store
// this is the one link between a driver and the package the removal may
// uninstall; a name inside the INF is no such link.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../common/PlatformKind.h"

// One driver of one environment and the published INF it came from; an
// empty Inf when the spooler names none or it matches no published INF.
struct DriverPackage {
    std::string Driver;
    std::string Inf;
};

// Windows keeps driver packages in a driver store from NT 6 on.
bool HasDriverStore(const PlatformKind& platform);

// The drivers of an environment (nullptr: the spooler's own) with their
// packages; nothing when the spooler can't list them.
std::optional<std::vector<DriverPackage>> ListDriverPackages(const char* environment);

// The package `driver` came from in `environment`; nothing when the spooler
// can't say, an empty text when it names none.
std::optional<std::string> PackageOfDriver(const char* environment, const char* driver);

// Tests only: the listing instead of the spooler's, whose records on this
// platform name no INF. An empty function restores the spooler's.
using DriverPackageLister = std::function<std::optional<std::vector<DriverPackage>>(const char* environment)>;
void SetDriverPackageLister(DriverPackageLister lister);
