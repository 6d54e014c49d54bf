#pragma once
// The maker's folders, as its installers recorded them in the registry.

#include "../door/RemovalState.h"

// Step 9: the string values of "SOFTWARE\QUORVEL\OEM_Q\OEMPaths" into the
// merged profile's OEM folder list, sorted and without duplicates.
void ReadOemPaths(RemovalState& state);
