#pragma once
// The inventory of installed printers: every queue and connection the
// spooler lists, with the maker's and the masking product's markers, the
// default printer, what the queue uses (its driver's files and its print
// processor) and the command line's verdict.

#include <list>
#include <string>
#include <utility>
#include <vector>

#include "../common/PlatformKind.h"
#include "../common/SwitchList.h"
#include "../script/ActivePrinter.h"
#include "InventoryError.h"

class DriverFileNames;

class InventoryBuild {
public:
    InventoryBuild(const SwitchList& switches, const PlatformKind& platform)
        : switches_(switches), platform_(platform) {}

    // Appends the installed printers to `printers`: those it could read, and
    // those it couldn't as printers that stay. Returns the number appended;
    // 0 when there were none or the build failed (LastBuildFailed tells).
    int BuildListOfInstalledPrinters(std::list<CActivePrinter>& printers);
    // The last build could not list every printer with its driver: nothing
    // may be removed on its word.
    bool LastBuildFailed() const { return failed_; }
    // The spooler did not answer at all.
    bool SpoolerSilent() const { return silent_; }
    // The diagnostic text of the last failed build, empty when none failed.
    // It also goes to the debugger output.
    const char* LastInventoryError() const { return error_; }
    // One line for each printer of the last build that is listed knowing
    // less than usual: its record could not be read, so it stays (which call
    // failed with which error, and where its driver name came from), or its
    // driver's files are unknown (why).
    const std::vector<std::string>& KeptPrinterNotes() const { return notes_; }

private:
    int BuildOrThrow(std::list<CActivePrinter>& printers);
    void NoteKeptPrinter(const char* printer, const char* call, DWORD error, const char* what, const char* driver);
    void NoteUnknownDriverFiles(const char* printer, const char* driver, const DriverFileNames& files);

    const SwitchList& switches_;
    PlatformKind platform_;
    char error_[kInventoryErrorTextSize] = {};
    bool failed_ = false;
    bool silent_ = false;
    std::vector<std::string> notes_;
    // The printers kept because something of them could not be read, with
    // the reason, journaled when the build succeeds.
    std::vector<std::pair<std::string, std::string>> unread_;
};
