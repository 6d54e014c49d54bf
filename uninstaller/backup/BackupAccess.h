#pragma once
// Who may change a backup: a restore runs as an administrator and puts back
// what the backup says, so a backup that others than administrators could
// have written is not followed unless the administrator says so.

#include <string>

// The first file or folder of the backup (the folder itself, the manifest,
// any copy) whose access list lets another account than the
// administrators, the system, the installer service, the owner's
// placeholder or `self` (the account running the restore) write, delete
// or re-permit it; empty when there is none.
std::string WritableByOthers(const std::string& folder);
