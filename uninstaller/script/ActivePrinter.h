#pragma once
// One installed print queue of the inventory.

#include <cstdint>
#include <string>
#include <vector>

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
    // The removal chose the printer, yet it is still installed after the
    // printer step (the spooler refused, the queue could not be opened): it
    // stays, and the plan is made again around it. A new removal clears it.
    std::uint32_t Stayed = 0;
    std::uint32_t Offered = 1;
    // Written by the database build alone: 1 when the last build takes the
    // printer away, by its own selection or by following the printer its
    // masked name names. The removal reads this, never Skip.
    std::uint32_t ToRemove = 0;
    // What the spooler says the queue uses, whatever the scripts say: the
    // names (name and extension, no directory) of its driver's files in this
    // platform's environment, and its print processor. A printer that stays
    // keeps them, so that a script naming a shared file can't take it away.
    std::vector<std::string> DriverFiles;
    char PrintProcessor[text::kMaxText] = {};
    // The queue's "UniqueID", the braced identifier that names its class
    // key; empty when it has none.
    char UniqueId[33] = {};

    // Listed on the selection page, and counted as offered.
    bool IsOffered() const { return Foreign == 0 && Removed == 0 && Offered == 1; }
    // The last database build takes the printer away, and it is still there
    // to take. Another maker's printer never goes.
    bool Goes() const { return ToRemove == 1 && Foreign == 0 && Removed == 0; }
    // Still installed once the removal is over: whatever it needs stays too.
    bool Stays() const { return Removed == 0 && !Goes(); }
};
