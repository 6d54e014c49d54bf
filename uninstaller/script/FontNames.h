#pragma once
// Names of the dialog-font settings and the numbers a font request takes.
// Exact comparison: "shiftjis" is not "SHIFTJIS". Unknown or empty names give 0.

#include <string_view>

int CharSetFromName(std::string_view name);
int PitchFromName(std::string_view name);
int FamilyFromName(std::string_view name);
