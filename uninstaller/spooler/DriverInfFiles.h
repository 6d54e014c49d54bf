#pragma once
// The OEM INF files of the drivers the removal deletes: uninstalled with
// each driver (step 4), and step 14's pass over the INF copies that name
// the driver of the last printer the removal opened (the OEM INF files, and
// on Windows 98 and Me the setup's copies), unless that driver is still
// installed (its files are still needed), a driver that stays may need one,
// or the spooler can't say.

#include <optional>
#include <string>

#include "../door/RemovalState.h"

// Step 14. With a driver store (NT 6 on) the INF files are packages:
// uninstalled through the setup library, never deleted as files.
void DeleteOemInfFiles(RemovalState& state);
void DeleteWin9xOemInfFiles(RemovalState& state);

// Uninstalls, without forcing, the OEM INF files that name the deleted
// driver `driverName`, unless a driver that stays may need one. With a
// driver store each must be the `package` the driver came from (read
// before its deletion; nothing when that failed), and no installed driver
// of any environment may come from it or be unable to say where it came
// from; before it, no installed driver may be named in it too.
void UninstallOemInfsOf(RemovalState& state, const char* driverName, const std::optional<std::string>& package);
