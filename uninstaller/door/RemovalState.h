#pragma once
// What the removal operations share while the engine runs its steps: one
// record the engine owns, so that each operation can be called with it
// alone, and the door through which each of them changes the machine.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "../common/PlatformKind.h"
#include "../common/Text.h"
#include "../script/FileSpec.h"
#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "Door.h"
#include "PrinterListing.h"
#include "UserHives.h"

struct RemovalState {
    explicit RemovalState(Door& changes) : Changes(changes), Printers(changes), Users(changes) {}
    RemovalState(const RemovalState&) = delete;
    RemovalState& operator=(const RemovalState&) = delete;

    // Every change to the machine goes through here; real or dry run was
    // chosen when the door was made.
    Door& Changes;
    // What the spooler lists now, taken again after a change of the door.
    PrinterListing Printers;
    // The other users' hives, loaded while the run needs them.
    UserHives Users;

    // The inventory, the merged profile and the restart-required flag.
    UninstallDatabase* Database = nullptr;
    PlatformKind Platform;
    TextCatalogue Texts;
    // The window the add-on hooks are given as their owner; none when
    // nobody is at the screen.
    HWND Owner = nullptr;

    // Directories the file removal looks in, sorted and without duplicates,
    // letter case ignored: the system's folders and the spooler's.
    ItemList SystemFolders;
    ItemList SpoolerFolders;
    // The printer-driver directory of the running environment.
    FileSpec DriverDirectory;

    // The printer the removal works on now, and its driver.
    char CurrentPrinter[text::kMaxText] = {};
    char CurrentDriver[text::kMaxText] = {};
    // Filled before the files go: the Windows directory, the printer-driver
    // directory and its version subdirectory.
    char WindowsDirectory[text::kMaxText] = {};
    char PrinterDriverDirectory[text::kMaxText] = {};
    char DriverSubdirectory[text::kMaxText] = {};

    // The package (published OEM INF) each driver the removal deleted came
    // from, read before its deletion; nothing when that could not be read.
    struct RemovedDriver {
        std::string Name;
        std::optional<std::string> Package;
    };
    std::vector<RemovedDriver> RemovedDrivers;
    // The services this run deleted or marked for deletion (in a dry run:
    // would have); the keys of the others stay with them.
    ItemList ServicesGoing;

    // The file names the drivers that stay list, read once the drivers are
    // removed; nothing when the spooler could not tell.
    bool StayingDriverFilesRead = false;
    std::optional<ItemList> StayingDriverFiles;
    // For each of those, the same place, why it stays: which driver,
    // monitor or print processor lists it.
    ItemList StayingDriverFileReasons;
    // When they are not known, why: what could not be listed.
    std::string StayingUnknownReason = "the installed drivers could not be listed";
};
