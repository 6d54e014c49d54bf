#pragma once
// The program's file version as "1.00.01.00", read from its own file;
// empty when it can't be read.

#include <windows.h>

void ProgramVersionText(char (&out)[64]);
