#pragma once
// The print processors the scripts list (step 6), and moving the printers
// that use one onto the built-in processor first.

#include "../door/RemovalState.h"

// The processor every printer can fall back on; never deleted.
constexpr char kBuiltInPrintProcessor[] = "WinPrint";
constexpr char kBuiltInDatatype[] = "RAW";

// Step 6, once per environment, on the local machine.
void RemovePrintProcessors(RemovalState& state, const char* environment);
