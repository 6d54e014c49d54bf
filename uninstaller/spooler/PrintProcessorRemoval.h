#pragma once
// The print processors the scripts list, and moving the printers that use
// one onto the built-in processor first.

#include "../app/RemovalOperations.h"

// The processor every printer can fall back on; never deleted.
constexpr char kBuiltInPrintProcessor[] = "WinPrint";
constexpr char kBuiltInDatatype[] = "RAW";

// Moves every local printer on `processor` (letter case ignored) to the
// built-in processor and data type. 1 when none is left on it, else 0 (also
// when the printers can't be listed).
int CanRemovePrintProcessor(const char* processor);

// Change one field of the printer's level-2 record; 1 on success, else 0.
int SetPrinterPrintProcessor(const char* printer, const char* processor);
int SetPrinterDatatype(const char* printer, const char* datatype);
