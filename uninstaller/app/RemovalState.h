#pragma once
// What the removal operations share while the removal page runs its steps:
// one record the page owns, so that each operation can be called with it
// alone, without the page's window.

#include <windows.h>

#include <optional>

#include "../common/Text.h"
#include "../script/FileSpec.h"
#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "../common/PlatformKind.h"

struct RemovalState {
    // The main window's database: the inventory, the merged profile and the
    // restart-required flag.
    UninstallDatabase* Database = nullptr;
    PlatformKind Platform;
    TextCatalogue Texts;
    // The removal page; owner of the operations' windows and messages.
    HWND Page = nullptr;

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

    // The file names the drivers that stay list, read once the drivers are
    // removed; nothing when the spooler could not tell.
    bool StayingDriverFilesRead = false;
    std::optional<ItemList> StayingDriverFiles;
    // For each of those, the same place, why it stays: which driver,
    // monitor or print processor lists it.
    ItemList StayingDriverFileReasons;
};
