#include "FontNames.h"

#include <utility>

namespace {

template <std::size_t N>
int Lookup(const std::pair<std::string_view, int> (&table)[N], std::string_view name)
{
    for (const auto& [key, number] : table) {
        if (key == name)
            return number;
    }
    return 0;
}

// The platform's *_CHARSET, *_PITCH and FF_* constants of the same names.
constexpr std::pair<std::string_view, int> kCharSets[] = {
    {"ANSI", 0},        {"BALTIC", 186},   {"CHINESEBIG5", 136}, {"DEFAULT", 1},   {"EASTEUROPE", 238},
    {"GB2312", 134},    {"GREEK", 161},    {"HANGUL", 129},      {"MAC", 77},      {"OEM", 255},
    {"RUSSIAN", 204},   {"SHIFTJIS", 128}, {"SYMBOL", 2},        {"TURKISH", 162}, {"VIETNAMESE", 163},
    {"JOHAB", 130},     {"ARABIC", 178},   {"HEBREW", 177},      {"THAI", 222},
};

constexpr std::pair<std::string_view, int> kPitches[] = {
    {"DEFAULT", 0}, {"FIXED", 1}, {"VARIABLE", 2},
};

constexpr std::pair<std::string_view, int> kFamilies[] = {
    {"DECORATIVE", 80}, {"DONTCARE", 0}, {"MODERN", 48}, {"ROMAN", 16}, {"SCRIPT", 64}, {"SWISS", 32},
};

} // namespace

int CharSetFromName(std::string_view name) { return Lookup(kCharSets, name); }
int PitchFromName(std::string_view name) { return Lookup(kPitches, name); }
int FamilyFromName(std::string_view name) { return Lookup(kFamilies, name); }
