#pragma once
// The port monitors the scripts list (step 5), and whether the machine still
// uses one.

#include <optional>

#include "../door/RemovalState.h"

// Step 5, once per environment, on the local machine.
void RemoveMonitors(RemovalState& state, const char* environment);

// Whether a port of a local printer is served by that monitor, or a driver
// still installed names it as its language monitor (letter case ignored);
// nothing when the ports, printers or drivers can't be listed.
std::optional<bool> MonitorInUse(RemovalState& state, const char* monitorName);
