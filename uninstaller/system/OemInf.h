#pragma once
// The OEM INF files that installed the maker's drivers: found by the printer
// name their "Strings" section declares, and uninstalled.

#include <functional>
#include <string>
#include <vector>

class Door;

// The file name (at most 19 characters) of the first OEM INF of the INF
// directory whose "PrinterName" holds `driverName`, passing over those this
// run has taken; empty when none does.
void FindOemInfForPrinter(const Door& door, char (&result)[20], const char* driverName);

// The file names (at most 19 characters each) of every OEM INF of the INF
// directory whose "PrinterName" holds `driverName`, in the directory list's
// order, passing over those this run has taken.
std::vector<std::string> OemInfsNaming(const Door& door, const char* driverName);

// True when the "PrinterName" of [Strings] in the INF at `path`, read into
// `valueSize` bytes, is not empty and holds `driverName` (letter case kept).
bool InfNamesDriver(const char* path, const char* driverName, unsigned valueSize);

// True when that "PrinterName" also holds one of `drivers` other than
// `driverName` (letter case ignored for "other"): the INF serves a driver
// that stays as well.
bool InfNamesAnyOther(const char* path, const char* driverName, const std::vector<std::string>& drivers,
                      unsigned valueSize);

// The INF directory's list (names as a double-NUL list) that the search
// walks; false when there is none. The setup library's own list unless a
// test sets another: Wine's leaves out the oem<n>.inf files a test puts
// there. An empty function restores the setup library's.
using InfLister = std::function<bool(std::string& names)>;
void SetInfLister(InfLister lister);
