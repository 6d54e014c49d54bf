#pragma once
// The removal of the chosen queues and connections with their jobs, traces
// and USB devices (step 3), and the choice of a new default printer.

#include "../door/RemovalState.h"
#include "../script/ActivePrinter.h"

// Step 3: the chosen queues with their jobs and traces, and a new default printer.
void RemovePrinters(RemovalState& state);

// Makes `name` the default printer: on NT through the platform, before it
// the default attribute and the "device" entry of the user's profile; the
// news is broadcast to every window. An empty `name` is filled with the
// first printer the spooler lists. 1 when the default changed (before NT:
// when anything was written), 0 when not.
int SetNewDefaultPrinter(RemovalState& state, char (&name)[text::kMaxText]);
