#pragma once
// The port monitors the scripts list, and whether the machine still uses one.

#include <optional>

#include "../app/RemovalOperations.h"

// Whether a port of a local printer is served by that monitor (letter case
// ignored); nothing when the ports or the printers can't be listed.
std::optional<bool> MonitorInUse(const char* monitorName);
