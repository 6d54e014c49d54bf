#pragma once
// The port monitors the scripts list (step 5). A monitor stays while a port
// of a local printer is served by it, or a driver still installed names it
// as its language monitor (letter case ignored), and when the ports,
// printers or drivers can't be listed.

#include "../door/RemovalState.h"

// Step 5, once per environment, on the local machine.
void RemoveMonitors(RemovalState& state, const char* environment);
