#pragma once
// Which Windows a version record describes. Pure logic, so that every branch
// is tested on any machine.

#include <cstdint>

namespace platform {

// Platform classes.
constexpr std::uint32_t kClassNone = 0, kClassWin32s = 1, kClassWin9x = 2, kClassNT = 3;

// Version kinds.
constexpr std::uint32_t kKindOther = 0, kKindWin32s = 1, kKindWin95 = 2, kKindWin98 = 3, kKindNT3 = 4,
                        kKindNT4 = 5, kKindWin2000 = 6, kKindWinMe = 7, kKindXP = 8;

struct VersionClass {
    std::uint32_t platformClass = kClassNone;
    std::uint32_t versionKind = kKindOther;
};

// `known` is false when the version could not be read.
VersionClass ClassifyVersion(bool known, std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);

} // namespace platform
