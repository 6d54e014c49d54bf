#pragma once
// What the spooler says of printer drivers now, for the driver removal and
// the deletion of the INF files that installed them.

#include <optional>

#include "../script/UninstallProfile.h"

// The driver names of every printer the spooler lists now, local printers
// and connections alike; nothing when the spooler can't tell.
std::optional<ItemList> DriversOfInstalledPrinters();

// The names of the drivers installed in one environment (nullptr: the
// running one); nothing when the spooler can't tell.
std::optional<ItemList> InstalledDrivers(const char* environment);

// Whether a driver of that name (letter case ignored) is still installed in
// any environment the removal works on; nothing when the spooler can't tell.
std::optional<bool> DriverStillInstalled(const char* driverName);

// Every driver the machine keeps: installed in an environment the removal
// works on, or used by a printer the spooler lists. Nothing when the spooler
// can't tell.
std::optional<ItemList> DriversStillOnMachine();
