#pragma once
// The operations the removal steps call, each with the page's shared record.
// A failure on one item passes over it; none returns a result the sequence
// examines.

#include "RemovalState.h"

// Step 2: the add-on components' own uninstall entry points.
void RunHooks(RemovalState& state);
// Step 3: the chosen queues with their jobs and traces, and a new default printer.
void RemovePrinters(RemovalState& state);
// Step 4, once per environment; nullptr is the running one.
void RemovePrinterDrivers(RemovalState& state, const char* environment);
// Steps 5 and 6, once per environment, on the local machine.
void RemoveMonitors(RemovalState& state, const char* environment);
void RemovePrintProcessors(RemovalState& state, const char* environment);
// Step 7.
void RemoveServices(RemovalState& state);
// After step 7, while the spooler still answers: the names of the files the
// drivers still installed list, in every environment, and the libraries of
// the monitors and print processors still registered. The file removal
// reads them itself when nobody has.
void ReadStayingDriverFiles(RemovalState& state);
// Step 9: the maker's folders, where its shortcuts and files went.
void ReadOemPaths(RemovalState& state);
// Step 10.
void RemoveShortcuts(RemovalState& state);
// Step 12.
void RemoveIniEntries(RemovalState& state);
// Step 13: programs started at log-on.
void DeleteLoadRunEntries(RemovalState& state);
// Step 14, in this order: the Windows and driver directories, the listed
// files, the OEM INF files of the removed drivers, and by platform the INF
// copies of Windows 98 and Me or the driver's version subdirectory of
// Windows 2000 and XP.
void PrepareDriverPaths(RemovalState& state);
void RemoveScriptFiles(RemovalState& state);
void DeleteOemInfFiles(RemovalState& state);
void DeleteWin9xOemInfFiles(RemovalState& state);
void RemoveDriverSubdirectory(RemovalState& state);
// Step 15.
void RemoveRegistryKeys(RemovalState& state);
