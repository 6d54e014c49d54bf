#pragma once
// The NT services the scripts list (step 7); never the spooler or what it
// needs.

#include <optional>

#include "../common/ServiceHandle.h"
#include "../door/RemovalState.h"

// Step 7.
void RemoveServices(RemovalState& state);

// The services that must stay whatever a script says: "Spooler", the
// service the spooler calls control, and every service that one needs,
// directly or through another (groups as "+" and their name). Nothing when
// a dependency list can't be read.
std::optional<ItemList> ProtectedServices(SC_HANDLE manager);
