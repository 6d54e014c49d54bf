#pragma once
// The error raised inside the inventory build and caught by it: what failed,
// with up to two labelled values and the printer concerned for the
// diagnostic text.

#include <windows.h>

#include <cstdint>

#include "../common/Text.h"

struct InventoryError {
    DWORD LastError = 0;
    const char* Function = "";
    const char* Description = "";
    const char* FirstLabel = "";
    std::uint32_t FirstValue = 0;
    const char* SecondLabel = "";
    std::uint32_t SecondValue = 0;
    // Empty when the failure concerns no single printer.
    char PrinterName[text::kMaxText] = {};
};

// Room for the composed text with a printer name of full length.
inline constexpr std::size_t kInventoryErrorTextSize = 768;

// "CLoadingDlg::BuildListOfInstalledPrinters failed" with the error's fields,
// one per line, into `out`.
void ComposeInventoryErrorText(const InventoryError& error, char* out, std::size_t size);
