#include "SwitchList.h"

#include <cstring>

#include "Text.h"

namespace {

// Splits at `separator` outside double quotes; a quote toggles the state.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view s, char separator, bool isBlank)
{
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        const bool end = i == s.size();
        const char c = end ? '\0' : s[i];
        if (!end && c == '"') {
            quoted = !quoted;
            continue;
        }
        const bool splits = !end && !quoted && (isBlank ? (c == ' ' || c == '\t') : c == separator);
        if (end || splits) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::size_t FindOutsideQuotes(std::string_view s, char wanted)
{
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (!quoted && s[i] == wanted)
            return i;
    }
    return std::string_view::npos;
}

// Names and values are held in 260-byte texts. A longer one is dropped, not
// cut: a cut "MFG" prefix would match drivers the user never named.
bool Fits(std::string_view s) { return s.size() < text::kMaxText; }

} // namespace

void SwitchList::Parse(std::string_view commandLine)
{
    switches_.clear();
    others_.clear();
    for (std::string_view token : SplitOutsideQuotes(commandLine, ' ', true)) {
        if (token.size() < 2 || (token[0] != '/' && token[0] != '-')) {
            if (!token.empty())
                others_.emplace_back(token);
            continue;
        }
        token.remove_prefix(1);

        const std::size_t colon = FindOutsideQuotes(token, ':');
        const std::string_view name = token.substr(0, colon);
        if (name.empty() || !Fits(name))
            continue;

        CommandSwitch sw{std::string(name)};
        if (colon != std::string_view::npos) {
            for (std::string_view value : SplitOutsideQuotes(token.substr(colon + 1), ',', false)) {
                // An empty value would end the double-NUL list early, and as
                // an "MFG" prefix it would match every driver.
                if (text::StripQuotes(value).empty() || !Fits(value))
                    continue;
                sw.emplace_back(value);
            }
        }
        switches_.push_back(std::move(sw));
    }
}

int SwitchList::FindSwitch(std::string_view name) const
{
    for (auto it = switches_.rbegin(); it != switches_.rend(); ++it) {
        if (text::FoldEqual((*it)[0], name))
            return static_cast<int>(it->size()) - 1;
    }
    return -1;
}

bool SwitchList::GetSwitchValues(std::string_view name, char* buffer, std::size_t size) const
{
    if (size < 2) {
        if (size == 1)
            buffer[0] = '\0';
        return false;
    }
    std::size_t used = 0;
    for (const CommandSwitch& sw : switches_) {
        if (!text::FoldEqual(sw[0], name))
            continue;
        for (std::size_t i = 1; i < sw.size(); ++i) {
            const std::string& value = sw[i];
            // The value, its NUL, and room for the final NUL.
            if (used + value.size() + 2 > size) {
                buffer[0] = buffer[1] = '\0';
                return false;
            }
            std::memcpy(buffer + used, value.c_str(), value.size() + 1);
            used += value.size() + 1;
        }
    }
    buffer[used] = '\0';
    if (used == 0)
        buffer[1] = '\0';
    return true;
}
