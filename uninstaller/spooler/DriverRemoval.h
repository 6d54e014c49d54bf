#pragma once
// The printer drivers the removal takes away in each environment (step 4),
// and what the spooler says of printer drivers now, for the deletion of the
// INF files that installed them.

#include <optional>

#include "../door/RemovalState.h"
#include "../script/UninstallProfile.h"

// Step 4, once per environment; nullptr is the running one.
void RemovePrinterDrivers(RemovalState& state, const char* environment);

// The driver names of every printer the spooler lists now, local printers
// and connections alike; nothing when the spooler can't tell.
std::optional<ItemList> DriversOfInstalledPrinters(RemovalState& state);

// The names of the drivers installed in one environment (nullptr: the
// running one), less those this run took away; nothing when the spooler
// can't tell.
std::optional<ItemList> InstalledDrivers(const Door& door, const char* environment);

// Whether a driver of that name (letter case ignored) is still installed in
// any environment the removal works on; nothing when the spooler can't tell.
std::optional<bool> DriverStillInstalled(const Door& door, const char* driverName);

// Every driver the machine keeps: installed in an environment the removal
// works on, or used by a printer the spooler lists. Nothing when the spooler
// can't tell.
std::optional<ItemList> DriversStillOnMachine(RemovalState& state);
