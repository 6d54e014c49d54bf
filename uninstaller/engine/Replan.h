#pragma once
// The plan made again where the machine differs from it: a printer the
// removal chose that is still installed after the printer step, a driver it
// meant to take away that the spooler kept. Each stays with everything it
// needs, and the journal tells, for each item the earlier plan would have
// taken away, that it now stays and why.

#include "../door/RemovalState.h"

// After the printer step: every chosen printer the spooler still lists
// stays. True when the plan changed.
bool ReplanAfterPrinters(RemovalState& state);

// After the driver step: every driver the plan took away that is still
// installed in some environment, or can't be told gone, stays. True when
// the plan changed.
bool ReplanAfterDrivers(RemovalState& state);
