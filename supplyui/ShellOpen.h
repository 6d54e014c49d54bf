#pragma once
// Opens an address with the shell's "open" verb, shown normally; the result
// is not looked at.

#include <windows.h>

void OpenWithShell(HWND owner, const char* address);
