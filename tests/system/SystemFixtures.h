#pragma once
// What the restart and start-up tests share: version records of the
// platforms the program tells apart, and WIN.INI's load line kept as it was.

#include <windows.h>

#include <string>

#include "common/PlatformKind.h"
#include "support/VersionRecord.h"

namespace systemtest {

inline PlatformKind Platform(DWORD id, DWORD major, DWORD minor)
{
    const OSVERSIONINFOA v = bed::VersionRecord(id, major, minor);
    return PlatformKind(&v);
}

inline PlatformKind Win32s() { return Platform(0, 3, 11); }
inline PlatformKind WindowsXP() { return Platform(2, 5, 1); }

inline std::string LoadLine()
{
    char line[512] = {};
    GetProfileStringA("windows", "Load", "", line, sizeof line);
    return line;
}

// The "windows" "Load" line of WIN.INI: set for a test, put back after it.
class SavedLoadLine {
public:
    SavedLoadLine()
    {
        char line[512] = {};
        GetProfileStringA("windows", "Load", kAbsent, line, sizeof line);
        existed_ = std::string(line) != kAbsent;
        saved_ = existed_ ? line : "";
    }
    ~SavedLoadLine() { WriteProfileStringA("windows", "Load", existed_ ? saved_.c_str() : nullptr); }
    SavedLoadLine(const SavedLoadLine&) = delete;
    SavedLoadLine& operator=(const SavedLoadLine&) = delete;

    void Set(const char* line) { WriteProfileStringA("windows", "Load", line); }

private:
    static constexpr char kAbsent[] = "<absent>";
    bool existed_ = false;
    std::string saved_;
};

} // namespace systemtest
