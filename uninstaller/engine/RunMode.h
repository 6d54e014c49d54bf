#pragma once
// How this start of the program runs, read from its switches: with the
// selection page, or without anybody at the screen ("QUIET"), or as a dry
// run that only tells what it would do ("WHATIF"); where its log goes, and
// what it does when a restart is needed. Pure logic, no platform calls.

#include <string>

#include "../common/SwitchList.h"
#include "../system/RestartPolicy.h"

struct RunMode {
    bool Quiet = false;
    bool WhatIf = false;
    // Every offered printer goes without a choice: "NOPICK" with a filter
    // switch, and every quiet run.
    bool RemoveAllOffered = false;
    bool Usage = false;
    RestartPolicy Restart = RestartPolicy::Ask;
    // The log file as given, quotes stripped; empty for none.
    std::string LogPath;
    // The switches that choose which printers are offered, as written
    // ("/PRN:A,B /UNVELT"); empty without any.
    std::string Filter;
    // "BACKUP": before each change, what it destroys is saved here.
    std::string BackupFolder;
    // "RESTORE": the machine is put back from this backup instead of any
    // removal; "FORCE" lets a backup of another computer be put back.
    std::string RestoreFolder;
    bool Force = false;
    // The first switch that isn't known or whose values don't parse, as
    // written; empty when every switch is good.
    std::string BadSwitch;

    // Nobody answers: exit codes for deployment tools, no window.
    bool Unattended() const { return Quiet || WhatIf; }
};

// `programFirst`: the first token that is not a switch is the program's
// path, as in the process's own command line; any other such token counts
// as a bad switch. A tool that quotes a whole switch ("/PRN:A B") would
// otherwise lose its filter, and a quiet run would remove every printer.
RunMode ReadRunMode(const SwitchList& switches, bool programFirst = true);

// The switches and exit codes, in English, lines ended by "\r\n".
extern const char kUsageText[];

// Exit codes of unattended runs, as installers report them.
namespace exitcode {
inline constexpr int kDone = 0;
inline constexpr int kBadSwitch = 87;
inline constexpr int kFatal = 1603;
// A chosen printer stayed, or an item the plan would take away failed.
inline constexpr int kFailed = 1603;
inline constexpr int kLogNotWritable = 1622;
inline constexpr int kAlreadyRunning = 1618;
inline constexpr int kRestarting = 1641;
inline constexpr int kRestartNeeded = 3010;
} // namespace exitcode
