#pragma once
// Which installed printers the command line lets the user remove. Pure
// logic, no platform calls.

#include <list>

#include "../common/SwitchList.h"
#include "../script/ActivePrinter.h"
#include "../script/DatabaseBuild.h"

// "MFG" driver-name prefixes and "PRN" driver names (either may match; with
// neither, every printer matches); "UNVELT" instead offers exactly the
// printers that carry a masked name.
bool MatchesCommandLine(const SwitchList& switches, const CActivePrinter& printer);

// Marks the printer: Foreign when it is neither the maker's nor masked, and
// Skip with Offered cleared when the command line does not match it.
void ClassifyPrinter(const SwitchList& switches, CActivePrinter& printer);

// "MFG" or "PRN" matches the name of a profile the scripts hold: the
// package of such a driver may still be on the machine without a printer
// (a removal cut off after its printers went). "UNVELT" matches printers
// alone.
bool FilterNamesProfile(const SwitchList& switches, const DatabaseContent& db);

// Every printer the inventory offers is chosen for the removal: what a
// quiet run and "NOPICK" with a filter do instead of the selection page.
void ChooseEveryOfferedPrinter(std::list<CActivePrinter>& printers);
