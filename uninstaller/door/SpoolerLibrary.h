#pragma once
// The functions of the platform's spooler library that the spooler proxy
// does not carry: the program does not link that library, and loads it by
// its full path in the system folder when first asked; it stays loaded for
// the rest of the run.

#include <windows.h>

#include "../common/Handles.h"

template <typename Function>
Function SpoolerFunction(const char* name)
{
    static const LoadedModule library = LoadSystemLibrary("winspool.drv");
    return library ? ProcAddress<Function>(library.Get(), name) : nullptr;
}
