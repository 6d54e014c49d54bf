#pragma once
// What of the demo package is on the machine now, printed for the demo.

#include <string>

namespace demo {

// With their trailing backslash.
std::string SystemFolder();
std::string WindowsFolder();
std::string ProgramsFolder();

// Prints the printers with their drivers, the maker's drivers and each item
// the uninstall script names, present or gone, under the heading `when`.
void PrintState(const char* when);

} // namespace demo
