#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "script/IniModel.h"
#include "script/ScriptReader.h"
#include "script/UninstallProfile.h"

namespace {

IniModel Parse(const std::string& text)
{
    IniModel model;
    model.Parse(text.data(), text.size());
    return model;
}

using Items = std::vector<std::string>;

const UninstallProfile* Named(const std::vector<UninstallProfile>& profiles, const char* name)
{
    for (const auto& p : profiles) {
        if (text::FoldEqual(p.Name, name))
            return &p;
    }
    return nullptr;
}

} // namespace

TEST(ItemOrder, FoldsOnlyAToZAndKeepsTheFirstOfEquals)
{
    Items items{"b.dll", "A.DLL", "a.dll", "_x", "B.dll", "\xE9t\xE9", "\xC9T\xC9"};
    SortItems(items);
    UniqueItems(items);
    // '_' (0x5F) sorts before the folded letters; bytes above 127 aren't folded.
    EXPECT_EQ(items, (Items{"_x", "A.DLL", "b.dll", "\xC9T\xC9", "\xE9t\xE9"}));
}

TEST(StarterLines, NameSectionBaseAndNumber)
{
    const IniModel script = Parse("[Lum2400.Files]\r\nb.dll\r\nA.DLL\r\na.dll\r\n"
                                  "[.Files]\r\nbare.dll\r\n"
                                  "[Lum2400.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\Lum\",,0\r\n");
    UninstallProfile p;
    FillProfile(p, script, "\"QUORVEL Lumenta 2400\",Lum2400,3");
    EXPECT_STREQ(p.Name, "QUORVEL Lumenta 2400");
    EXPECT_STREQ(p.SectionBase, "Lum2400");
    EXPECT_EQ(p.Number, 3);
    EXPECT_EQ(p.Files, (Items{"A.DLL", "b.dll"}));
    EXPECT_EQ(p.RegistryKeys, (Items{"HKLM,\"SOFTWARE\\QUORVEL\\Lum\",,0"}));

    UninstallProfile bare;
    FillProfile(bare, script, "\"\"Quoted, twice\"\"");
    EXPECT_STREQ(bare.Name, "Quoted");
    EXPECT_STREQ(bare.SectionBase, " twice\"\"");

    UninstallProfile plain;
    FillProfile(plain, script, "\"QUORVEL Lumenta 2400\"");
    EXPECT_STREQ(plain.Name, "QUORVEL Lumenta 2400");
    EXPECT_STREQ(plain.SectionBase, "");
    EXPECT_EQ(plain.Number, 0);
    EXPECT_EQ(plain.Files, (Items{"bare.dll"}));

    UninstallProfile odd;
    FillProfile(odd, script, "x,,12abc");
    EXPECT_EQ(odd.Number, 12);
    FillProfile(odd, script, "x,,-7");
    EXPECT_EQ(odd.Number, -7);
    FillProfile(odd, script, "x,,none");
    EXPECT_EQ(odd.Number, 0);
}

TEST(ScriptProfiles, KindsDriversListAndTheFirstDefinitionWins)
{
    const std::string first = "[UnPrinterMfgs]\r\nQUORVEL,Mfg,1\r\nBrand = New,Other\r\n"
                              "[UnPrinterDrivers]\r\nQUORVEL Lumenta 2400,Lum2400\r\n"
                              "[Unz_CatchAll]\r\nCommon,Common\r\n"
                              "[Lum2400.Files]\r\nlum.dll\r\n[Mfg.Files]\r\nmfg.dll\r\n";
    const std::string second = "[Unx_Ignore]\r\nKeep Me\r\n"
                               "[UnPrinterDrivers]\r\nquorvel lumenta 2400,Other\r\n[Other.Files]\r\nother.dll\r\n";
    std::vector<UninstallProfile> profiles;
    ASSERT_TRUE(ReadScriptProfiles(profiles, Parse(first), "C:\\one.unm"));
    ASSERT_TRUE(ReadScriptProfiles(profiles, Parse(second), "C:\\two.unm"));

    // Sorted by name; the second script's "quorvel lumenta 2400" is dropped.
    ASSERT_EQ(profiles.size(), 5u);
    EXPECT_STREQ(profiles[0].Name, "Brand=New");
    EXPECT_STREQ(profiles[1].Name, "Common");
    EXPECT_STREQ(profiles[2].Name, "Keep Me");
    EXPECT_STREQ(profiles[3].Name, "QUORVEL");
    EXPECT_STREQ(profiles[4].Name, "QUORVEL Lumenta 2400");

    // A manufacturer's starter text is the whole line, value included.
    EXPECT_EQ(profiles[0].IsManufacturer, 1u);
    EXPECT_STREQ(profiles[0].SectionBase, "Other");
    const UninstallProfile& mfg = profiles[3];
    EXPECT_EQ(mfg.IsManufacturer, 1u);
    EXPECT_EQ(mfg.Files, (Items{"mfg.dll"}));
    EXPECT_TRUE(mfg.Drivers.empty());

    const UninstallProfile& driver = profiles[4];
    EXPECT_STREQ(driver.ScriptPath, "C:\\one.unm");
    EXPECT_EQ(driver.Files, (Items{"lum.dll"}));
    EXPECT_EQ(driver.Drivers, (Items{"QUORVEL Lumenta 2400"}));
    EXPECT_EQ(driver.IsManufacturer + driver.IsCatchAll + driver.IsIgnore, 0u);

    EXPECT_EQ(Named(profiles, "Common")->IsCatchAll, 1u);
    EXPECT_EQ(Named(profiles, "Common")->Drivers, (Items{"Common"}));
    EXPECT_EQ(Named(profiles, "Keep Me")->IsIgnore, 1u);
}

TEST(ScriptProfiles, OnlyIgnoreProfilesIsValidAndNoStarterIsNot)
{
    std::vector<UninstallProfile> profiles;
    ASSERT_TRUE(ReadScriptProfiles(profiles, Parse("[Unx_Ignore]\r\nA\r\nB\r\n"), "s"));
    EXPECT_EQ(profiles.size(), 2u);
    EXPECT_FALSE(ReadScriptProfiles(profiles, Parse("[UnPrinterDrivers]\r\n[Other]\r\nx=1\r\n"), "t"));
    EXPECT_EQ(profiles.size(), 2u);
}

TEST(ScriptProfiles, StarterAndCategorySectionsAreReadWhole)
{
    std::string text = "[Unx_Ignore]\r\n";
    for (int i = 0; i < 30; ++i)
        text += "Keep number " + std::to_string(100 + i) + ",Keep" + std::to_string(i) + "\r\n";
    text += "[Keep0.Files]\r\n";
    for (int i = 0; i < 400; ++i)
        text += "file" + std::to_string(1000 + i) + ".dll\r\n";
    std::vector<UninstallProfile> profiles;
    ASSERT_TRUE(ReadScriptProfiles(profiles, Parse(text), "s"));
    ASSERT_EQ(profiles.size(), 30u);
    EXPECT_STREQ(profiles.back().Name, "Keep number 129");
    const Items& files = Named(profiles, "Keep number 100")->Files;
    ASSERT_EQ(files.size(), 400u);
    EXPECT_EQ(files.back(), "file1399.dll");
}

TEST(ScriptProfiles, EmptyAndLongEntriesCostNoOtherEntry)
{
    const std::string v300(300, 'v');
    const std::string text = "[Unx_Ignore]\r\nKeep A\r\n=x\r\nKeep B\r\nKeep C,KeepC=" + v300 + "\r\n"
                             "[UnPrinterMfgs]\r\nQUORVEL,Mfg,7=" + v300 + "\r\nLong,Base=" + v300 +
                             "\r\n\"\",Mfg\r\n"
                             "[KeepC.Files]\r\na.dll=" + v300 + "\r\n=\r\nb.dll\r\n=" + v300 + "\r\n"
                             "[KeepC.Services]\r\nsvc=" + v300 + "\r\nlong=" + std::string(255, 'v') +
                             "\r\nfits=" + std::string(254, 'v') + "\r\n";
    std::vector<UninstallProfile> profiles;
    ASSERT_TRUE(ReadScriptProfiles(profiles, Parse(text), "s"));
    // A manufacturer's name and section base must fit, and its name must not be empty.
    ASSERT_EQ(profiles.size(), 4u);
    EXPECT_STREQ(profiles[0].Name, "Keep A");
    EXPECT_STREQ(profiles[1].Name, "Keep B");
    EXPECT_STREQ(profiles[2].Name, "Keep C");
    EXPECT_STREQ(profiles[3].Name, "QUORVEL");
    EXPECT_STREQ(profiles[3].SectionBase, "Mfg");
    EXPECT_EQ(profiles[3].Number, 7);

    // Items hold 259 characters; a Files line too long names its file alone.
    EXPECT_EQ(profiles[2].Files, (Items{"a.dll", "b.dll"}));
    EXPECT_EQ(profiles[2].Services, (Items{"fits=" + std::string(254, 'v')}));
}

TEST(ProfileSets, MergeKeepsTheTargetFirstAndSubtractLeavesTheRest)
{
    UninstallProfile target, source;
    text::CopyWhole(target.Name, "target");
    target.Files = {"a.dll", "C.dll"};
    target.Services = {"svc"};
    source.Files = {"A.DLL", "b.dll", "c.dll"};
    source.Monitors = {"mon"};
    target.Merge(source);
    EXPECT_STREQ(target.Name, "target");
    EXPECT_EQ(target.Files, (Items{"a.dll", "b.dll", "C.dll"}));
    EXPECT_EQ(target.Monitors, (Items{"mon"}));
    EXPECT_EQ(target.Services, (Items{"svc"}));

    UninstallProfile keep;
    keep.Files = {"B.DLL", "zzz"};
    target.Subtract(keep);
    EXPECT_EQ(target.Files, (Items{"a.dll", "C.dll"}));

    // Unsorted lists come out as merging then sorting them would give.
    UninstallProfile x, y;
    x.Files = {"b", "a1", "A1"};
    y.Files = {"a1 "};
    x.Merge(y);
    EXPECT_EQ(x.Files, (Items{"a1", "a1 ", "b"}));
}

TEST(ProfileSets, SubtractOfAProfileFromItselfEmptiesEveryList)
{
    UninstallProfile p;
    for (auto list : kAllLists)
        (p.*list) = {"one", "Two", "two"};
    const UninstallProfile copy = p;
    p.Subtract(copy);
    for (auto list : kAllLists)
        EXPECT_TRUE((p.*list).empty());

    // Duplicates of the target that the source doesn't name survive.
    UninstallProfile q, other;
    q.Files = {"x", "X", "y"};
    other.Files = {"y"};
    q.Subtract(other);
    EXPECT_EQ(q.Files, (Items{"x", "X"}));
}

TEST(ProfileSets, RegistryItems)
{
    UninstallProfile p;
    ASSERT_TRUE(AppendRegistryItem(p, "HKLM", "SOFTWARE\\QUORVEL\\OEM_Q", "", true));
    ASSERT_TRUE(AppendRegistryItem(p, "HKCU", "Software\\X", "Value", false));
    EXPECT_FALSE(AppendRegistryItem(p, "HKLM", "", "v", false));
    EXPECT_EQ(p.RegistryKeys, (Items{"HKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",\"\",1", "HKCU,\"Software\\X\",\"Value\",0"}));
}

namespace {

// The definitions, spelled out: merge as two sorted lists are merged, stable
// sort, keep the first of equals; subtract keeps the order of the rest.
Items ReferenceMerge(const Items& ours, const Items& theirs)
{
    Items out;
    std::size_t a = 0, b = 0;
    while (a < ours.size() && b < theirs.size())
        out.push_back(ItemLess(theirs[b], ours[a]) ? theirs[b++] : ours[a++]);
    out.insert(out.end(), ours.begin() + static_cast<long>(a), ours.end());
    out.insert(out.end(), theirs.begin() + static_cast<long>(b), theirs.end());
    std::stable_sort(out.begin(), out.end(), ItemLess);
    Items unique;
    for (const auto& item : out) {
        if (unique.empty() || !text::FoldEqual(unique.back(), item))
            unique.push_back(item);
    }
    return unique;
}

Items ReferenceSubtract(const Items& ours, const Items& theirs)
{
    Items out;
    for (const auto& item : ours) {
        bool found = false;
        for (const auto& other : theirs)
            found = found || text::FoldEqual(item, other);
        if (!found)
            out.push_back(item);
    }
    return out;
}

Items RandomItems(std::mt19937& rng, bool sorted)
{
    static const char* const words[] = {"a", "A", "b", "B.dll", "b.DLL", "_x", "ab", "Ab", "c", "z", "a_", "\xE9",
                                        // past the first eight bytes
                                        "QL2400UI.DLL", "ql2400ui.dll", "QL2400UI.DL", "QL2400UI_DLL", "QL2400UI.DLL\xE9"};
    Items items(rng() % 12);
    for (auto& item : items)
        item = words[rng() % std::size(words)];
    if (sorted) {
        SortItems(items);
        if (rng() % 2)
            UniqueItems(items);
    }
    return items;
}

} // namespace

TEST(ProfileSets, MergeAndSubtractMatchTheirDefinitionsOnRandomLists)
{
    std::mt19937 rng(20261207);
    for (int round = 0; round < 3000; ++round) {
        const Items ours = RandomItems(rng, round % 4 != 0);
        const Items theirs = RandomItems(rng, round % 3 != 0);
        UninstallProfile target, source;
        target.Files = ours;
        source.Files = theirs;
        target.Merge(source);
        ASSERT_EQ(target.Files, ReferenceMerge(ours, theirs)) << "round " << round;

        target.Files = ours;
        target.Subtract(source);
        ASSERT_EQ(target.Files, ReferenceSubtract(ours, theirs)) << "round " << round;
    }
}

TEST(ProfileSets, MergingManyAtOnceEqualsMergingOneAfterTheOther)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 1000; ++round) {
        std::vector<UninstallProfile> sources(rng() % 9);
        std::vector<const UninstallProfile*> pointers;
        for (auto& source : sources) {
            source.Files = RandomItems(rng, round % 5 != 0);
            pointers.push_back(&source);
        }
        UninstallProfile target;
        target.Files = RandomItems(rng, true);
        Items expected = target.Files;
        for (const auto& source : sources)
            expected = ReferenceMerge(expected, source.Files);
        MergeInOrder(target, pointers);
        ASSERT_EQ(target.Files, expected) << "round " << round;
    }
}
