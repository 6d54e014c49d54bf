#pragma once
// The masking product's own tool, which the removal starts with " /d" so
// that it takes its masked printers away itself, and waits for.

#include <windows.h>

#include "../common/Handles.h"
#include "../common/PlatformKind.h"
#include "../common/Text.h"

class Door;

// Finds `program` in one of the maker's folders, listed as the values of
// "SOFTWARE\QUORVEL\OEM\OEMPaths" under HKEY_LOCAL_MACHINE. Leaves its full
// path in `path` and returns true when a folder holds it.
bool LocateMaskingTool(const char* program, char (&path)[text::kMaxText]);

class MaskingToolRun {
public:
    // One look at the tool: started through the door when it isn't yet
    // (found as "VELTRO32.EXE", else "VELTROPE.EXE"), then asked whether it
    // still runs. True while the removal must wait for it; false once it has
    // ended (the journal tells with its exit code and time), can't be read,
    // or was never found or started (a dry run starts nothing), or has run
    // past the wait limit, and then the run is forgotten.
    bool StillRunning(Door& door, const PlatformKind& platform);

    void Forget();
    const char* Path() const { return path_; }

    // A tool that still runs this long after its start is no longer waited
    // for: the journal says so, and the removal goes on as if it had ended.
    static constexpr DWORD kWaitLimitMs = 10 * 60 * 1000;
    // Tests only: another limit, in milliseconds; 0 for the usual one.
    static void LimitWait(DWORD ms);

private:
    bool Start(Door& door, const PlatformKind& platform);
    void TellEnd();

    char path_[text::kMaxText] = {};
    KernelHandle process_;
    ULONGLONG startTick_ = 0;
    // Win32s gives no process handle; its dialog window tells instead.
    bool placeholder_ = false;
};
