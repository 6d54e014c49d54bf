#pragma once
// Folders that belong to Windows or to every program and user of the
// machine. A sweep that deletes files of listed names several levels down,
// and every folder it empties, must never start at one of them.

#include <string>
#include <string_view>
#include <vector>

// Whether a component of the path is "." or "..".
bool HasDotComponent(std::string_view path);

class MachineFolders {
public:
    // Reads the machine's own folders: the Windows, system and 32-bit
    // system directories, the spooler's directories, Program Files and
    // Program Files (x86), ProgramData and the folder of the user profiles.
    MachineFolders();
    // Only the given folders, each with or without its trailing backslash.
    explicit MachineFolders(std::vector<std::string> folders, std::string profiles);

    // Whether a sweep may start at `directory`: a full path that is not a
    // drive or share root, not one of the machine's folders or a folder
    // above one, not the profiles folder or a user's profile directly in it,
    // and without a "." or ".." component.
    bool MaySweep(std::string_view directory) const;

private:
    std::vector<std::string> folders_; // each ending in a backslash
    std::string profiles_;             // ends in a backslash; may be empty
};
