// Removal operations whose work is not carried out yet: each step calls its
// operation, which leaves the machine as it is.

#include "RemovalOperations.h"

void PrepareDriverPaths(RemovalState&) {}
void RemoveScriptFiles(RemovalState&) {}
void RemoveDriverSubdirectory(RemovalState&) {}
