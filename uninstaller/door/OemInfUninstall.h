#pragma once
// Uninstalling an OEM INF file through the setup library: the door's own
// work.

// Uninstalls one OEM INF by its file name, forcing its deletion. 0 on
// success, 2 on any failure.
int UninstallOemInf(const char* infName);
