#include "Text.h"

#include <cstring>

namespace text {

namespace detail {
LeadBytes leadBytes;
}

void SetLeadBytes(LeadByteTest isLead)
{
    detail::leadBytes.any = false;
    for (int c = 0; c < 256; ++c) {
        const bool lead = isLead && isLead(static_cast<unsigned char>(c));
        detail::leadBytes.lead[c] = lead;
        detail::leadBytes.any = detail::leadBytes.any || lead;
    }
}

bool FoldEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && FoldCompare(a, b) == 0;
}

bool FoldStartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && FoldCompare(text.substr(0, prefix.size()), prefix) == 0;
}

bool CopyWhole(char* dest, std::size_t size, std::string_view source)
{
    if (size == 0)
        return false;
    if (source.size() >= size) {
        dest[0] = '\0';
        return false;
    }
    if (!source.empty())
        std::memmove(dest, source.data(), source.size());
    dest[source.size()] = '\0';
    return true;
}

bool AppendWhole(char* dest, std::size_t size, std::string_view source)
{
    const std::size_t used = strnlen(dest, size);
    if (used >= size || source.size() >= size - used)
        return false;
    if (!source.empty())
        std::memcpy(dest + used, source.data(), source.size());
    dest[used + source.size()] = '\0';
    return true;
}

std::size_t LastSeparator(std::string_view s, LeadByteTest isLead)
{
    std::size_t last = std::string_view::npos;
    ForEachChar(s, isLead, [&](std::size_t i) {
        if (s[i] == '\\' || s[i] == '/')
            last = i;
    });
    return last;
}

bool EndsWithSeparator(std::string_view s, LeadByteTest isLead)
{
    bool last = false;
    ForEachChar(s, isLead, [&](std::size_t i) { last = s[i] == '\\' || s[i] == '/'; });
    return last;
}

std::string_view TrimAll(std::string_view s, char c)
{
    while (!s.empty() && s.front() == c)
        s.remove_prefix(1);
    while (!s.empty() && s.back() == c)
        s.remove_suffix(1);
    return s;
}

std::string_view StripQuotes(std::string_view value)
{
    if (!value.empty() && value.front() == '"')
        value.remove_prefix(1);
    if (!value.empty() && value.back() == '"')
        value.remove_suffix(1);
    return value;
}

} // namespace text
