#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/SwitchList.h"
#include "common/Text.h"

namespace {

// The values of a double-NUL list.
std::vector<std::string> Values(const SwitchList& list, const char* name, size_t size = 256)
{
    std::vector<char> buffer(size, 'x');
    if (!list.GetSwitchValues(name, buffer.data(), size))
        return {"<failed>"};
    std::vector<std::string> out;
    for (const char* p = buffer.data(); *p; p += std::strlen(p) + 1)
        out.emplace_back(p);
    return out;
}

} // namespace

TEST(SwitchList, MinusSignAndLowerCaseCountAsSlashAndUpperCase)
{
    SwitchList list(R"("C:\Program Files\prnuninst.exe" -mfg:Quorvel /Unvelt)");
    EXPECT_EQ(list.FindSwitch("MFG"), 1);
    EXPECT_EQ(list.FindSwitch("UNVELT"), 0);
    EXPECT_EQ(list.FindSwitch("PRN"), -1);
    EXPECT_EQ(Values(list, "MFG"), std::vector<std::string>{"Quorvel"});
}

TEST(SwitchList, QuotedValueWithCommaOrBlankStaysWholeAndIsStrippedOnUse)
{
    SwitchList list(R"(prnuninst.exe /PRN:"Quorvel Laser 5, PS",Other "/MFG:Quor vel")");
    const auto prn = Values(list, "prn");
    ASSERT_EQ(prn.size(), 2u);
    EXPECT_EQ(prn[0], R"("Quorvel Laser 5, PS")");
    EXPECT_EQ(text::StripQuotes(prn[0]), "Quorvel Laser 5, PS");
    EXPECT_EQ(prn[1], "Other");
    // A token quoted as a whole still starts with the quote, not a slash.
    EXPECT_EQ(list.FindSwitch("MFG"), -1);
}

TEST(SwitchList, ColonInsideQuotesDoesNotEndTheName)
{
    SwitchList list(R"(/"A:B":x)");
    ASSERT_EQ(list.Switches().size(), 1u);
    EXPECT_EQ(list.Switches()[0][0], R"("A:B")");
    EXPECT_EQ(list.Switches()[0][1], "x");
}

TEST(SwitchList, FindSwitchCountsTheLastOfTheNameAndValuesJoinAllOfThem)
{
    SwitchList list("/MFG:a,b /NOPICK /MFG:c /MFG");
    EXPECT_EQ(list.FindSwitch("mfg"), 0);
    EXPECT_EQ(Values(list, "MFG"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list.FindSwitch("NOPICK"), 0);
    EXPECT_EQ(Values(list, "NOPICK"), std::vector<std::string>{});
}

TEST(SwitchList, ValuesThatDoNotFitGiveNoValuesAtAll)
{
    SwitchList list("/MFG:abcd,efgh");
    // 5 + 5 bytes of values and the final NUL.
    EXPECT_EQ(Values(list, "MFG", 11), (std::vector<std::string>{"abcd", "efgh"}));
    EXPECT_EQ(Values(list, "MFG", 10), std::vector<std::string>{"<failed>"});
    char small[10];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(list.GetSwitchValues("MFG", small, sizeof small));
    EXPECT_EQ(small[0], '\0');
}

TEST(SwitchList, EmptyAndOverlongValuesAreDroppedNotCut)
{
    const std::string longValue(260, 'Q');
    SwitchList list("/MFG:," + longValue + ",\"\",Quorvel,");
    EXPECT_EQ(Values(list, "MFG"), std::vector<std::string>{"Quorvel"});

    const std::string justFits(259, 'Q');
    SwitchList kept("/PRN:" + justFits);
    EXPECT_EQ(kept.FindSwitch("PRN"), 1);
}

TEST(SwitchList, OtherTokensAndEmptyLinesGiveNoSwitches)
{
    EXPECT_TRUE(SwitchList("").Switches().empty());
    EXPECT_TRUE(SwitchList("prnuninst.exe MFG:x / -").Switches().empty());
    SwitchList tabs("a\t/X\t\t-Y:1");
    EXPECT_EQ(tabs.FindSwitch("x"), 0);
    EXPECT_EQ(tabs.FindSwitch("y"), 1);
}
