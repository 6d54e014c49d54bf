#pragma once
// The OEM INF files that installed the maker's drivers: found by the printer
// name their "Strings" section declares, and uninstalled.

// The file name (at most 19 characters) of the first OEM INF of the INF
// directory whose "PrinterName" holds `driverName`; empty when none does.
void FindOemInfForPrinter(char (&result)[20], const char* driverName);

// Uninstalls one OEM INF by its file name, forcing its deletion. 0 on
// success, 2 on any failure.
int UninstallOemInf(const char* infName);
