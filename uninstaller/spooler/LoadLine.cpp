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
