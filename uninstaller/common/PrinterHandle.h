#pragma once
// Owner of a printer handle; opened and closed through the spooler proxy.

#include <windows.h>
#include <winspool.h>

#include <optional>
#include <vector>

#include "Handles.h"
#include "TwoCall.h"

struct PrinterHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr; }
    static bool Close(HANDLE h) { return ClosePrinter(h) != FALSE; }
};
using PrinterHandle = UniqueHandle<HANDLE, PrinterHandleTraits>;

// Opens `name` with the given access; an empty owner when it can't be opened.
inline PrinterHandle OpenPrinterFor(const char* name, ACCESS_MASK access)
{
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, &defaults))
        return PrinterHandle{};
    return PrinterHandle{printer};
}

// The open printer's level-2 record (PRINTER_INFO_2A and what it points
// to); nothing when it can't be read, with the call's error.
inline std::optional<std::vector<BYTE>> PrinterRecord(HANDLE printer)
{
    return QueryTwice(
        [&](BYTE* data, DWORD size, DWORD* needed) { return GetPrinterA(printer, 2, data, size, needed) != FALSE; });
}
