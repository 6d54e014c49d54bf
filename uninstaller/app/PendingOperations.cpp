// Removal operations whose work is not carried out yet: each step calls its
// operation, which leaves the machine as it is.

#include "RemovalOperations.h"

void ReadOemPaths(RemovalState&) {}
void RemoveShortcuts(RemovalState&) {}
