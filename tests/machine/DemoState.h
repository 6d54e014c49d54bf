#pragma once
// What of the demo package is on the machine now, printed for the demo.

#include <string>

namespace demo {

// With their trailing backslash.
std::string SystemFolder();
std::string WindowsFolder();
std::string ProgramsFolder();

// The printers with their drivers, the maker's drivers and each item the
// uninstall script names, present or gone, under the heading `when`.
std::string State(const char* when);
// The same, printed.
void PrintState(const char* when);

} // namespace demo
