#pragma once
// The error raised inside the inventory build and caught by it: what failed,
// with up to two labelled values for the diagnostic text.

#include <windows.h>

#include <cstdint>

struct InventoryError {
    DWORD LastError = 0;
    const char* Function = "";
    const char* Description = "";
    const char* FirstLabel = "";
    std::uint32_t FirstValue = 0;
    const char* SecondLabel = "";
    std::uint32_t SecondValue = 0;
};

// "CLoadingDlg::BuildListOfInstalledPrinters failed" with the error's fields,
// one per line, into `out`.
void ComposeInventoryErrorText(const InventoryError& error, char* out, std::size_t size);
