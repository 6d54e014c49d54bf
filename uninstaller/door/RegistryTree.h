#pragma once
// Deleting a registry key with everything below it: the door's own work.
// Every call but the change of a key's access list goes through the
// spooler proxy.

#include <windows.h>

// Deletes the key at `path` under `root` with all its subkeys; true when the
// key is gone. A key that refuses deletion gets an access list open to
// everyone and is tried once more; when that fails too, its own list is put
// back.
bool DeleteRegistryTree(HKEY root, const char* path);
// The same: ERROR_SUCCESS when the key is gone with all its subkeys, or why
// it is not (ERROR_FILE_NOT_FOUND: it was never there).
LONG DeleteKeyTree(HKEY root, const char* path);

// Replaces the key's access list with one entry: all rights for Everyone.
// True when the new list was set.
bool GrantEveryoneAccess(HKEY root, const char* path);
