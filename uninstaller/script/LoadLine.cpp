#include "LoadLine.h"

#include "../common/Text.h"

std::optional<LoadRunEntry> SplitLoadRunEntry(std::string_view entry)
{
    const std::size_t comma = entry.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const std::string_view display = text::TrimAll(entry.substr(0, comma), '"');
    const std::string_view file = text::TrimAll(entry.substr(comma + 1), '"');
    if (display.empty() || file.empty())
        return std::nullopt;
    return LoadRunEntry{std::string(display), std::string(file)};
}

std::optional<std::string> RemoveLoadWord(std::string_view line, std::string_view word)
{
    if (word.empty())
        return std::nullopt;
    const std::size_t at = line.find(word);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = at + word.size();
    const bool starts = at == 0 || line[at - 1] == ' ';
    const bool ends = end == line.size() || line[end] == ' ';
    if (!starts || !ends)
        return std::nullopt;
    std::string result(line.substr(0, at));
    result.append(line.substr(end < line.size() ? end + 1 : end));
    return result;
}

namespace {

std::string_view FileNamePart(std::string_view path)
{
    const std::size_t separator = text::LastSeparator(path, text::IsLeadByte);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool HasExtension(std::string_view name)
{
    return name.find('.') != std::string_view::npos;
}

bool SameProgram(std::string_view candidate, std::string_view program)
{
    const std::string_view name = FileNamePart(candidate);
    if (name.empty())
        return false;
    if (text::FoldEqual(name, program))
        return true;
    // CreateProcess adds ".exe" to a name without extension.
    if (!HasExtension(name))
        return text::FoldEqual(std::string(name) + ".exe", program);
    return !HasExtension(program) && text::FoldEqual(name, std::string(program) + ".exe");
}

} // namespace

std::vector<std::string_view> CommandProgramCandidates(std::string_view command)
{
    std::vector<std::string_view> candidates;
    while (!command.empty() && (command.front() == ' ' || command.front() == '\t'))
        command.remove_prefix(1);
    if (!command.empty() && command.front() == '"') {
        command.remove_prefix(1);
        candidates.push_back(command.substr(0, command.find('"')));
        return candidates;
    }
    // Unquoted, a path with spaces is read as Windows reads it: each space
    // may end the program's path. The path goes on past a space only while
    // it is a path (a bare name is a program found on the search path), its
    // last name has no extension yet, and what follows is no switch, quoted
    // text, variable or path of its own: "cmd /c x.exe", "rundll32 x.dll"
    // and "C:\a\launch C:\b\x.exe" start cmd, rundll32 and launch.
    for (std::size_t end = command.find(' ');; end = command.find(' ', end + 1)) {
        const std::string_view candidate = command.substr(0, end);
        candidates.push_back(candidate);
        if (end == std::string_view::npos || HasExtension(FileNamePart(candidate)) ||
            text::LastSeparator(candidate, text::IsLeadByte) == std::string_view::npos)
            return candidates;
        const std::string_view next = command.substr(end + 1);
        const bool startsAnother = !next.empty() && (next[0] == '/' || next[0] == '-' || next[0] == '"' ||
                                                     next[0] == '%' || next[0] == '\\' ||
                                                     (next.size() > 1 && next[1] == ':'));
        if (startsAnother)
            return candidates;
    }
}

bool CommandStartsProgram(std::string_view command, std::string_view program)
{
    program = FileNamePart(text::TrimAll(program, '"'));
    if (program.empty())
        return false;
    for (const std::string_view candidate : CommandProgramCandidates(command)) {
        if (SameProgram(candidate, program))
            return true;
    }
    return false;
}

std::vector<std::string> CommandProgramNames(std::string_view command)
{
    std::vector<std::string> names;
    for (const std::string_view candidate : CommandProgramCandidates(command)) {
        const std::string_view name = FileNamePart(candidate);
        if (name.empty())
            continue;
        names.emplace_back(name);
        if (!HasExtension(name))
            names.push_back(std::string(name) + ".exe");
    }
    return names;
}
