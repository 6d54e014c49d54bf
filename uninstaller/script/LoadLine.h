#pragma once
// The text work of taking a program out of the start-up lists: splitting a
// DeleteLoadRun entry and dropping a word from WIN.INI's "load" line. Pure
// logic; the caller brings the texts in the letter case it compares in.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Display name and file name of an entry "display,file", split at its first
// comma, each with every leading and trailing double quote removed.
struct LoadRunEntry {
    std::string display;
    std::string file;
};

// Nothing when there is no comma, or either part is empty before or after
// its quotes go: an empty display name would name the Run key's default
// value, an empty file name matches any line.
std::optional<LoadRunEntry> SplitLoadRunEntry(std::string_view entry);

// The line without the first occurrence of `word`, and without the one space
// after it when there is one. Only that first occurrence counts, and only
// as a whole word: it must start the line or follow a space, and end the
// line or be followed by a space. Nothing when it isn't so.
std::optional<std::string> RemoveLoadWord(std::string_view line, std::string_view word);

// Whether the command of a Run value starts `program`: the program part of
// the command (in quotes, or unquoted up to a space: the first, or a later
// one while the part before it is a path whose last name has no extension
// and the part after it starts no switch, quoted text, variable or other
// path) has the same file name as `program`, letter case folded; a name
// without extension stands for the same name with ".exe".
bool CommandStartsProgram(std::string_view command, std::string_view program);

// The file names the program of a command (a Run value's, a service's image
// path) may have: each candidate of the reading above, and with ".exe" where
// it has no extension. In doubt every one of them.
std::vector<std::string> CommandProgramNames(std::string_view command);

// The candidates themselves, as paths, in order.
std::vector<std::string_view> CommandProgramCandidates(std::string_view command);
