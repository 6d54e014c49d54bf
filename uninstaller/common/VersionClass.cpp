#include "VersionClass.h"

namespace platform {

namespace {
// The platform ids of the version record.
constexpr std::uint32_t kIdWin32s = 0, kIdWindows = 1, kIdNT = 2;
} // namespace

VersionClass ClassifyVersion(bool known, std::uint32_t platformId, std::uint32_t major, std::uint32_t minor)
{
    if (!known)
        return {};
    switch (platformId) {
    case kIdWin32s:
        return {kClassWin32s, kKindWin32s};
    case kIdWindows:
        switch (minor) {
        case 0: return {kClassWin9x, kKindWin95};
        case 10: return {kClassWin9x, kKindWin98};
        case 90: return {kClassWin9x, kKindWinMe};
        default: return {kClassWin9x, kKindOther};
        }
    case kIdNT:
        switch (major) {
        case 3: return {kClassNT, kKindNT3};
        case 4: return {kClassNT, kKindNT4};
        // 5.2 is the 64-bit XP and Server 2003, which take the 2000 variants.
        case 5: return {kClassNT, minor == 1 ? kKindXP : kKindWin2000};
        default: return {kClassNT, kKindOther};
        }
    default:
        return {};
    }
}

} // namespace platform
