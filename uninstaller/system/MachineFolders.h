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
    // system directories, the spooler's directories and their driver
    // version folders, Program Files and Program Files (x86), ProgramData
    // and Windows' own folder in it, the folder of the user profiles, and
    // the shell's folders (Desktop, Documents, Public, Start menu, Startup
    // and the others) of this user, of all users, and below every profile.
    MachineFolders();
    // Only the given folders, each with or without its trailing backslash:
    // the Windows directory, inside which only the spooler's folders may
    // hold folders of the maker's, and the others.
    MachineFolders(std::vector<std::string> folders, std::string profiles, std::string windows,
                   std::vector<std::string> spooler);

    // Whether a sweep may start at `directory`: a full path in its one
    // plain spelling (no "/", no empty, "." or ".." component, no name
    // ending in a dot or space, no short name, no "\\?\" or "\\.\" form,
    // no administrative share) that is not a drive or share root, not one of
    // the machine's folders or a folder above one, not inside the Windows
    // directory unless inside a spooler folder, and not the profiles folder
    // or a user's profile directly in it.
    bool MaySweep(std::string_view directory) const;
    // Why a sweep may not start there ("a drive root", "a folder of
    // Windows", ...); empty when it may.
    std::string SweepRefusal(std::string_view directory) const;

    // The folder's real path, links and short names resolved, with a
    // trailing backslash; empty when it can't be opened.
    static std::string RealPath(const std::string& directory);

private:
    // The shell's folders, the user's and all users', and the same below
    // every profile.
    void AddShellFolders();

    std::vector<std::string> folders_; // each ending in a backslash
    std::vector<std::string> shell_;
    std::string profiles_;             // ends in a backslash; may be empty
    std::string windows_;
    std::vector<std::string> spooler_;
};
