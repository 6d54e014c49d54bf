#pragma once
// Registry keys and values of the RegistryKeys list (step 15).

#include "../door/RemovalState.h"

// Step 15: the maker's program-group key, then the list in descending order,
// a subkey before its parent. A hive, its first level or a key Windows
// shares is never deleted; a key that still holds other keys is deleted
// only with the tree flag.
void RemoveRegistryKeys(RemovalState& state);
