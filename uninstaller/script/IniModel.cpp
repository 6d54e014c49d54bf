#include "IniModel.h"

#include <cstring>

namespace {

// Tabs are part of keys and values; only blanks are trimmed.
std::string_view TrimBlanks(std::string_view s) { return text::TrimAll(s, ' '); }

bool HeaderAt(std::string_view file, std::size_t i, std::string_view header)
{
    return file.size() - i >= header.size() && text::FoldEqual(file.substr(i, header.size()), header);
}

std::string Header(std::string_view section)
{
    std::string header = "[";
    header.append(section).append("]");
    return header;
}

// Where `key` stands in the first section named `section` that holds it,
// looking from `fromLineEnd` ? the end of each header's line : right after
// the header. npos when not found.
std::size_t FindKeyPosition(std::string_view file, std::string_view section, std::string_view key, bool fromLineEnd)
{
    if (key.empty())
        return std::string_view::npos;
    const std::string header = Header(section);
    for (std::size_t i = file.find('['); i != std::string_view::npos; i = file.find('[', i + 1)) {
        if (!HeaderAt(file, i, header))
            continue;
        std::size_t j = i + header.size();
        if (fromLineEnd) {
            const std::size_t lf = file.find('\n', i);
            if (lf == std::string_view::npos)
                continue;
            j = lf + 1;
        }
        for (; j < file.size() && file[j] != '['; ++j) {
            if (file.size() - j >= key.size() && text::FoldEqual(file.substr(j, key.size()), key) &&
                (j == 0 || file[j - 1] != ';'))
                return j;
        }
    }
    return std::string_view::npos;
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
    std::size_t i = 0;
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
    // An entry too long to hold is left out rather than cut: a cut file or
    // key name could name something else.
    if (!text::CopyWhole(entry.key, key) || !text::CopyWhole(entry.value, value))
        return;
    IniSection& last = sections_.back();
    last.entries.push_back(entry);
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
        if (e.value[0] != '\0')
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
            if (entry.value[0] != '\0')
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
    const std::size_t at = FindKeyPosition(file, section, key, false);
    return at == std::string_view::npos ? 0 : at;
}

std::optional<std::string> DeleteKeyLineInText(std::string_view file, std::string_view section,
                                               std::string_view key)
{
    const std::size_t at = FindKeyPosition(file, section, key, true);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string out(file.substr(0, at));
    const std::size_t lf = file.find('\n', at);
    if (lf != std::string_view::npos)
        out.append(file.substr(lf + 1));
    return out;
}
