#pragma once
// The NT services the scripts list; never the spooler or what it needs.

#include <optional>

#include "../app/RemovalOperations.h"

// The services that must stay whatever a script says: "Spooler", the
// service the spooler calls control, and every service that one needs,
// directly or through another (groups as "+" and their name). Nothing when
// a dependency list can't be read.
std::optional<ItemList> ProtectedServices(SC_HANDLE manager);
