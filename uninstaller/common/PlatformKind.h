#pragma once
// The running Windows version and the removal variant it calls for.

#include <windows.h>

#include <cstdint>

#include "VersionClass.h"

class PlatformKind {
public:
    // Reads the running system's version.
    PlatformKind();
    // Classifies a given version record; nullptr stands for a failed read.
    explicit PlatformKind(const OSVERSIONINFOA* given);

    std::uint32_t platformClass() const { return class_.platformClass; }
    std::uint32_t versionKind() const { return class_.versionKind; }
    bool isWin32s() const { return class_.platformClass == platform::kClassWin32s; }
    bool isWin9x() const { return class_.platformClass == platform::kClassWin9x; }
    bool isNT() const { return class_.platformClass == platform::kClassNT; }

    const OSVERSIONINFOA& Version() const { return version_; }

private:
    void Classify(bool known);

    OSVERSIONINFOA version_{};
    platform::VersionClass class_{};
};
