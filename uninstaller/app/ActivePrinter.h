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
    // Written by the database build alone: 1 when the last build takes the
    // printer away, by its own selection or by following the printer its
    // masked name names. The removal reads this, never Skip.
    std::uint32_t ToRemove = 0;

    // Listed on the selection page, and counted as offered.
    bool IsOffered() const { return Foreign == 0 && Removed == 0 && Offered == 1; }
};
