#pragma once
// Location ids: the directories and files the program deletes, searches or
// reads, resolved on the running machine and kept split into their parts.

#include <windows.h>

#include "../common/Text.h"
#include "PathParts.h"

namespace location {
enum : int {
    None = 0,
    ProgramFile = 1,
    ProgramDirectory = 2,
    WindowsDirectory = 3,
    SystemDirectory = 4,
    TempDirectory = 5,
    Desktop = 6,
    Favorites = 7,
    NewTempFile = 8,
    AppData = 9,
    InternetCache = 10,
    Cookies = 11,
    Fonts = 12,
    History = 13,
    NetHood = 14,
    Personal = 15,
    PrintHood = 16,
    Programs = 17,
    Recent = 18,
    SendTo = 19,
    StartMenu = 20,
    Startup = 21,
    AltStartup = 22,
    CommonStartup = 23,
    CommonAltStartup = 24,
    Templates = 25,
    PrinterDriverDirectory = 26,
    PrinterDriverDirectoryWin40 = 27,
    PrintProcessorDirectory = 28,
    PrintProcessorDirectoryAlias = 29,
    ProgramFiles = 30,
    Printers = 31,
    CommonPrograms = 32,
    ColorDirectory = 33,
    CurrentDirectory = 34,
};
}

// Thrown by callers when a location can't be resolved.
struct CFileSpecException {
    int code = 1;
};

// Drive, directory, name and extension come from PathParts, then the scratch
// field where a full path is composed.
struct FileSpec : PathParts {
    char path[text::kMaxText] = {};

    // Fills the record for a location id. Always true: an unknown id, or a
    // location the platform doesn't supply, leaves every field empty.
    bool Resolve(int locationId);

    // Looks name and extension up on the default search path; on success the
    // fields hold the found file's parts.
    bool Locate();

    // True when the composed path names an existing file that can be opened.
    bool Exists();

    // Appends a directory name to the directory field; returns the path.
    // A record without a directory stays so and gives an empty path.
    const char* AppendSubdirectory(const char* subdirectory);

    // Composes the path field from the four parts; empty when too long.
    const char* Compose();

    // Splits `fullPath` into the four parts.
    void SetPath(const char* fullPath);

    void Clear();
};

// `<directory of the running program><name>`; false, leaving `out` empty,
// when that directory is unknown or the path would not fit.
bool PathBesideProgram(char (&out)[text::kMaxText], const char* name);

// The default uninstall script beside the program.
extern char DefaultScriptPath[text::kMaxText];
void BuildDefaultScriptPath();
