#pragma once
// One installed print queue of the inventory.

#include <cstdint>

#include "../common/Text.h"

struct CActivePrinter {
    char PrinterName[text::kMaxText] = {};
    char DriverName[text::kMaxText] = {};
    char MaskedName[text::kMaxText] = {};
    char ServerName[text::kMaxText] = {};
    std::uint32_t IsMakerDriver = 0;
    std::uint32_t IsDefault = 0;
    std::uint32_t Skip = 0;
    std::uint32_t Foreign = 0;
    std::uint32_t Removed = 0;
    std::uint32_t Offered = 1;

    // Listed on the selection page, and counted as offered.
    bool IsOffered() const { return Foreign == 0 && Removed == 0 && Offered == 1; }
};
