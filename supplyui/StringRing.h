#pragma once
// Texts of the library's string table, by id. The last four results are kept
// in a ring; each lookup takes the next slot and returns a copy of it.

#include <windows.h>

#include <string>

std::string LoadLibraryString(UINT id);
