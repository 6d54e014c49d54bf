#include <gtest/gtest.h>

#include <windows.h>

#include "script/FontNames.h"

TEST(FontNames, CharacterSetsAreThePlatformConstants)
{
    const std::pair<const char*, int> sets[] = {
        {"ANSI", ANSI_CHARSET},       {"BALTIC", BALTIC_CHARSET},   {"CHINESEBIG5", CHINESEBIG5_CHARSET},
        {"DEFAULT", DEFAULT_CHARSET}, {"EASTEUROPE", EASTEUROPE_CHARSET}, {"GB2312", GB2312_CHARSET},
        {"GREEK", GREEK_CHARSET},     {"HANGUL", HANGUL_CHARSET},   {"MAC", MAC_CHARSET},
        {"OEM", OEM_CHARSET},         {"RUSSIAN", RUSSIAN_CHARSET}, {"SHIFTJIS", SHIFTJIS_CHARSET},
        {"SYMBOL", SYMBOL_CHARSET},   {"TURKISH", TURKISH_CHARSET}, {"VIETNAMESE", VIETNAMESE_CHARSET},
        {"JOHAB", JOHAB_CHARSET},     {"ARABIC", ARABIC_CHARSET},   {"HEBREW", HEBREW_CHARSET},
        {"THAI", THAI_CHARSET},
    };
    for (const auto& [name, number] : sets)
        EXPECT_EQ(CharSetFromName(name), number) << name;
}

TEST(FontNames, PitchAndFamily)
{
    EXPECT_EQ(PitchFromName("DEFAULT"), DEFAULT_PITCH);
    EXPECT_EQ(PitchFromName("FIXED"), FIXED_PITCH);
    EXPECT_EQ(PitchFromName("VARIABLE"), VARIABLE_PITCH);
    EXPECT_EQ(FamilyFromName("DECORATIVE"), FF_DECORATIVE);
    EXPECT_EQ(FamilyFromName("DONTCARE"), FF_DONTCARE);
    EXPECT_EQ(FamilyFromName("MODERN"), FF_MODERN);
    EXPECT_EQ(FamilyFromName("ROMAN"), FF_ROMAN);
    EXPECT_EQ(FamilyFromName("SCRIPT"), FF_SCRIPT);
    EXPECT_EQ(FamilyFromName("SWISS"), FF_SWISS);
}

TEST(FontNames, ComparisonIsExact)
{
    EXPECT_EQ(CharSetFromName("shiftjis"), 0);
    EXPECT_EQ(CharSetFromName("SHIFTJIS "), 0);
    EXPECT_EQ(CharSetFromName(""), 0);
    EXPECT_EQ(PitchFromName("fixed"), 0);
    EXPECT_EQ(FamilyFromName("Swiss"), 0);
    // Names of one table mean nothing in another.
    EXPECT_EQ(FamilyFromName("FIXED"), 0);
}
