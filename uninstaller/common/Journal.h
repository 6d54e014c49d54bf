#pragma once
// The account of a run: one entry for each action of the removal on one
// item, and each message the run showed or would have shown. The log of an
// unattended run and the list of a dry run are written from it. Changes are
// recorded by the door that makes them (or, in a dry run, would make them);
// decisions not to change an item are recorded where they are made.

#include <windows.h>

#include <functional>
#include <string>

namespace journal {

enum class Outcome {
    Removed,
    NotPresent,
    Kept,
    Failed,
    Scheduled,
    WouldRemove,
    // Something else done to an item (a printer set as the default, the
    // spooler stopped, a hook called): the reason field says what, as a
    // past participle ("stopped"); for WouldChange as a verb ("stop").
    Changed,
    WouldChange,
    Message,
};

struct Entry {
    // The removal step; -1 while the program loads.
    int Step = -1;
    const char* Operation = "";
    // In the ANSI code page, as the program holds every name.
    const char* Item = "";
    Outcome Result = Outcome::Removed;
    // Why an item was kept, or the answer a message got; may be empty.
    const char* Reason = "";
    // The error code of a failure.
    DWORD Error = 0;
};

// Where the entries go; nothing is recorded without a sink.
using Sink = std::function<void(const Entry& entry)>;
void SetSink(Sink sink);

// The step of the loading, and of the run's last line.
inline constexpr int kLoadingStep = -1;
inline constexpr int kEndStep = -2;
void SetStep(int step);
int Step();

void Record(const char* operation, const char* item, Outcome outcome, const char* reason = "", DWORD error = 0);
inline void Removed(const char* operation, const char* item) { Record(operation, item, Outcome::Removed); }
inline void NotPresent(const char* operation, const char* item) { Record(operation, item, Outcome::NotPresent); }
inline void Kept(const char* operation, const char* item, const char* reason)
{
    Record(operation, item, Outcome::Kept, reason);
}
inline void Failed(const char* operation, const char* item, DWORD error)
{
    Record(operation, item, Outcome::Failed, "", error);
}
inline void Scheduled(const char* operation, const char* item) { Record(operation, item, Outcome::Scheduled); }
// A message box's text, and the answer it got (or would have got).
void Message(const char* text, const char* answer);

inline void Changed(const char* operation, const char* item, const char* what)
{
    Record(operation, item, Outcome::Changed, what);
}
// A reason text composed printf-style, cut to 511 characters.
std::string Reason(const char* format, ...) __attribute__((format(printf, 1, 2)));

// What the removal's steps did to their items (entries of step 0 and
// later), counted whether or not a sink takes the entries: every item but
// printers, connections and messages, whose failures count all the same.
struct Tally {
    unsigned Removed = 0; // removed, or would be
    unsigned Kept = 0;
    unsigned Failed = 0; // of any operation, printers too
    unsigned Scheduled = 0;
};
Tally Counted();
// Counts from nothing again, as a run begins.
void ResetTally();

// No sink, the step of the loading, and nothing counted.
void Reset();

// Operation names as the log shows them.
namespace op {
inline constexpr char kPrinter[] = "printer";
inline constexpr char kJob[] = "print job";
inline constexpr char kPrinterTrace[] = "printer trace";
inline constexpr char kDefaultPrinter[] = "default printer";
inline constexpr char kConnection[] = "printer connection";
inline constexpr char kDriver[] = "printer driver";
inline constexpr char kOemInf[] = "OEM INF";
inline constexpr char kDevice[] = "device";
inline constexpr char kMonitor[] = "port monitor";
inline constexpr char kPrintProcessor[] = "print processor";
inline constexpr char kService[] = "service";
inline constexpr char kHook[] = "uninstall hook";
inline constexpr char kCompanion[] = "companion program";
inline constexpr char kSpooler[] = "spooler";
inline constexpr char kStartupEntry[] = "start-up entry";
inline constexpr char kShortcut[] = "shortcut";
inline constexpr char kProgramGroup[] = "program group";
inline constexpr char kIniEntry[] = "INI entry";
inline constexpr char kFile[] = "file";
inline constexpr char kFolder[] = "folder";
inline constexpr char kRegistryKey[] = "registry key";
inline constexpr char kRegistryValue[] = "registry value";
inline constexpr char kRestart[] = "restart";
inline constexpr char kProgram[] = "program";
inline constexpr char kMessage[] = "message";
inline constexpr char kUsage[] = "usage";
} // namespace op

} // namespace journal
