#pragma once
// Byte texts of the ANSI code page: the comparison every list of the program
// uses (only A-Z folded) and bounded copies into fixed buffers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace text {

// Names, paths and list items live in 260-byte buffers: 259 characters and a NUL.
constexpr std::size_t kMaxText = 260;

constexpr char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Tells whether a byte starts a double-byte character of the code page in
// use (the platform's IsDBCSLeadByte); nullptr for a single-byte code page.
using LeadByteTest = bool (*)(unsigned char);

// The lead bytes of the process's code page, for the comparisons below. The
// program sets them once at start; until then every byte is a character of
// its own.
void SetLeadBytes(LeadByteTest isLead);

namespace detail {
struct LeadBytes {
    bool any = false;
    bool lead[256] = {};
};
extern LeadBytes leadBytes;

// Whether s[i] is the second byte of a double-byte character. The byte
// before a non-lead byte always ends a character, so only the run of lead
// bytes right before i matters: an odd run makes s[i] a trail byte.
inline bool IsTrailByte(std::string_view s, std::size_t i)
{
    std::size_t run = 0;
    while (run < i && leadBytes.lead[static_cast<unsigned char>(s[i - run - 1])])
        ++run;
    return (run & 1) != 0;
}
} // namespace detail

// <0, 0, >0 like strcmp, with A-Z folded to a-z and bytes compared unsigned.
// A trail byte of a double-byte character is never folded: under code page
// 932 two different Japanese names may differ only in a trail byte 'A' or 'a'.
// Inline: every sort, merge and lookup of the item lists runs on it.
inline int FoldCompare(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = 0;
    // Equal bytes are equal folded too: skip them eight at a time.
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            break;
    }
    for (; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const auto ra = static_cast<unsigned char>(a[i]);
        const auto rb = static_cast<unsigned char>(b[i]);
        const auto ca = static_cast<unsigned char>(FoldAscii(a[i]));
        const auto cb = static_cast<unsigned char>(FoldAscii(b[i]));
        // Folding changed one of them: it counts only for a character of its
        // own. The bytes before i are alike in both texts (equal, or letters,
        // which are never lead bytes), so either text tells.
        if ((ca != ra || cb != rb) && detail::leadBytes.any && detail::IsTrailByte(a, i))
            return ra < rb ? -1 : 1;
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}
bool FoldEqual(std::string_view a, std::string_view b);
bool FoldStartsWith(std::string_view text, std::string_view prefix);

// Copies `source` into `dest` of `size` bytes when it fits whole (with its
// NUL) and returns true; otherwise leaves `dest` empty and returns false.
// A cut path or name could name something else, so nothing is ever cut.
bool CopyWhole(char* dest, std::size_t size, std::string_view source);

template <std::size_t N>
bool CopyWhole(char (&dest)[N], std::string_view source) { return CopyWhole(dest, N, source); }

// Appends `source` to the text in `dest` when the result fits whole.
bool AppendWhole(char* dest, std::size_t size, std::string_view source);

template <std::size_t N>
bool AppendWhole(char (&dest)[N], std::string_view source) { return AppendWhole(dest, N, source); }

// Byte offsets of the characters of `s`, stepping over trail bytes, so that
// a Shift-JIS trail byte equal to '\\' is never taken for a separator.
template <typename Visit>
void ForEachChar(std::string_view s, LeadByteTest isLead, Visit visit)
{
    for (std::size_t i = 0; i < s.size();) {
        visit(i);
        i += (isLead && isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
}

// Offset of the last '\\' or '/' that is a character of its own, not the
// second byte of a double-byte one; npos when there is none.
std::size_t LastSeparator(std::string_view s, LeadByteTest isLead);

// The lead-byte test of the code page SetLeadBytes was given.
inline bool IsLeadByte(unsigned char c) { return detail::leadBytes.lead[c]; }

// True when the last character of `s` is '\\' or '/'.
bool EndsWithSeparator(std::string_view s, LeadByteTest isLead);

// Removes every `c` from both ends.
std::string_view TrimAll(std::string_view s, char c);

// Removes one double quote at each end where present.
std::string_view StripQuotes(std::string_view value);

} // namespace text
