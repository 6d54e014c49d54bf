#include "IniModel.h"

#include <algorithm>
#include <cstring>

namespace {

// Editors put one before the first header.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t TextStart(std::string_view file) { return file.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0; }

// Tabs are part of keys and values; only blanks are trimmed.
std::string_view TrimBlanks(std::string_view s) { return text::TrimAll(s, ' '); }

// The key searches, unlike the parser, take tabs for blanks too.
std::string_view SkipBlanks(std::string_view s) { return s.substr(std::min(s.find_first_not_of(" \t"), s.size())); }

struct FileLine {
    std::size_t start; // first byte
    std::size_t end;   // its line end, or the end of the file
    std::size_t next;  // past its one line end: CR LF, LF or CR
};

FileLine LineAt(std::string_view file, std::size_t start)
{
    const std::size_t end = file.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
        return {start, file.size(), file.size()};
    const bool crlf = file[end] == '\r' && end + 1 < file.size() && file[end + 1] == '\n';
    return {start, end, end + (crlf ? 2 : 1)};
}

struct KeyLine {
    FileLine line;
    std::size_t key;
};

// One search for FindKey and DeleteKeyLine, so that the line FindKey finds is
// the line that goes.
std::optional<KeyLine> FindKeyLine(std::string_view file, std::string_view section, std::string_view key)
{
    if (key.empty())
        return std::nullopt;
    std::string header = "[";
    header.append(section).append("]");
    bool inSection = false;
    for (std::size_t at = TextStart(file); at < file.size();) {
        const FileLine line = LineAt(file, at);
        const std::string_view content = SkipBlanks(file.substr(line.start, line.end - line.start));
        if (content.starts_with('[')) {
            inSection = text::FoldStartsWith(content, header);
        } else if (inSection && !content.starts_with(';') && text::FoldStartsWith(content, key)) {
            const std::string_view after = SkipBlanks(content.substr(key.size()));
            if (after.empty() || after.front() == '=')
                return KeyLine{line, static_cast<std::size_t>(content.data() - file.data())};
        }
        at = line.next;
    }
    return std::nullopt;
}

} // namespace

void IniModel::Clear()
{
    sections_.clear();
    sectionCount_ = 0;
}

void IniModel::Parse(const char* text, std::size_t length)
{
    std::string_view all(text, strnlen(text, length));
    std::size_t i = TextStart(all);
    while (i < all.size()) {
        while (i < all.size() && (all[i] == '\r' || all[i] == '\n'))
            ++i;
        std::size_t end = i;
        while (end < all.size() && all[end] != '\r' && all[end] != '\n')
            ++end;
        if (end > i)
            ParseLine(all.substr(i, end - i));
        i = end;
    }
}

void IniModel::ParseLine(std::string_view line)
{
    if (line.front() == ' ' || line.front() == ';')
        return;
    if (line.front() == '[') {
        const std::size_t close = line.find(']');
        if (close == std::string_view::npos)
            return;
        IniSection section;
        // A name too long to hold can't be looked up: its section keeps the
        // empty name, so its entries never join another section.
        text::CopyWhole(section.name, line.substr(1, close - 1));
        sections_.push_back(std::move(section));
        ++sectionCount_;
        return;
    }
    if (sections_.empty())
        return;
    line = line.substr(0, line.find(';'));
    const std::size_t eq = line.find('=');
    const std::string_view key = TrimBlanks(line.substr(0, eq));
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(eq + 1));
    IniEntry entry;
    // A key too long to hold is left out rather than cut: a cut file or key
    // name could name something else. Values are kept whole; their readers
    // check the lengths they need.
    if (!text::CopyWhole(entry.key, key))
        return;
    entry.value = value;
    IniSection& last = sections_.back();
    last.entries.push_back(std::move(entry));
    ++last.entryCount;
}

const IniSection* IniModel::FindSection(const char* name) const
{
    if (!name || name[0] == '\0')
        return nullptr;
    for (const IniSection& section : sections_) {
        if (section.name[0] != '\0' && text::FoldEqual(section.name, name))
            return &section;
    }
    return nullptr;
}

std::uint64_t IniModel::GetEntryCount(const char* name) const
{
    const IniSection* section = FindSection(name);
    return section ? section->entryCount : 0;
}

template <typename Emit>
std::int32_t IniModel::FillList(const char* name, char* buffer, std::int32_t size, Emit emit) const
{
    const IniSection* section = FindSection(name);
    if (!buffer || !section || section->entries.empty())
        return 0;
    std::int64_t total = 0;
    std::size_t written = 0;
    bool all = true;
    std::string s;
    for (const IniEntry& entry : section->entries) {
        emit(entry, s);
        if (s.empty())
            continue;
        total += static_cast<std::int64_t>(s.size()) + 1;
        if (all && total < size) {
            std::memcpy(buffer + written, s.c_str(), s.size() + 1);
            written += s.size() + 1;
        } else {
            all = false;
        }
    }
    if (size > 0)
        buffer[written] = '\0';
    const auto result = static_cast<std::int32_t>(total > INT32_MAX ? INT32_MAX : total);
    return all ? result : -result;
}

std::int32_t IniModel::GetKeys(const char* name, char* buffer, std::int32_t size) const
{
    return FillList(name, buffer, size, [](const IniEntry& e, std::string& s) { s = e.key; });
}

std::int32_t IniModel::GetSectionLines(const char* name, char* buffer, std::int32_t size) const
{
    return FillList(name, buffer, size, [](const IniEntry& e, std::string& s) {
        s = e.key;
        if (!e.value.empty())
            s.append("=").append(e.value);
    });
}

std::string IniModel::Serialize(std::size_t& entries) const
{
    entries = 0;
    std::string out;
    for (const IniSection& section : sections_) {
        out.append("[").append(section.name).append("]\r\n");
        for (const IniEntry& entry : section.entries) {
            out.append(entry.key);
            if (!entry.value.empty())
                out.append("=").append(entry.value);
            out.append("\r\n");
            ++entries;
        }
        out.append("\r\n");
    }
    return out;
}

std::size_t FindKeyInText(std::string_view file, std::string_view section, std::string_view key)
{
    const auto found = FindKeyLine(file, section, key);
    return found ? found->key : 0;
}

std::optional<std::string> DeleteKeyLineInText(std::string_view file, std::string_view section,
                                               std::string_view key)
{
    const auto found = FindKeyLine(file, section, key);
    if (!found)
        return std::nullopt;
    std::string out(file.substr(0, found->line.start));
    out.append(file.substr(found->line.next));
    return out;
}
