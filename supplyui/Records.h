#pragma once
// The records that cross the library's boundary, byte for byte as callers lay them out.

#include <cstddef>
#include <cstdint>

struct TonerLevelInfo {
    std::int32_t TonerLevel;  // percent, 0 to 100
    std::uint8_t Unused[24];  // not read by this library
    std::int32_t Threshold;   // notify at this percent, 0 to 50
    std::int32_t Capacity;    // cartridge capacity
};
static_assert(offsetof(TonerLevelInfo, TonerLevel) == 0);
static_assert(offsetof(TonerLevelInfo, Threshold) == 28);
static_assert(offsetof(TonerLevelInfo, Capacity) == 32);

struct VoltageBiasSettings {
    std::uint32_t MidnightMode; // 0 not used, 1 always, 2 for the time window
    char TimeWindow[12];        // "HH:MM HH:MM" and a NUL
};
static_assert(offsetof(VoltageBiasSettings, MidnightMode) == 0);
static_assert(offsetof(VoltageBiasSettings, TimeWindow) == 4);
static_assert(sizeof(VoltageBiasSettings) == 16);
