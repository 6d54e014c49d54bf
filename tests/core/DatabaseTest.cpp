#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "script/DatabaseBuild.h"
#include "script/ScriptReader.h"

namespace {

using Items = std::vector<std::string>;

UninstallProfile Profile(const char* name, Items files, const char* script = "C:\\drv\\Xrmv___Q.unm")
{
    UninstallProfile p;
    text::CopyWhole(p.Name, name);
    text::CopyWhole(p.ScriptPath, script);
    p.Files = std::move(files);
    SortItems(p.Files);
    UniqueItems(p.Files);
    p.Drivers = {name};
    return p;
}

UninstallProfile Kind(UninstallProfile p, bool mfg, bool catchAll, bool ignore)
{
    p.IsManufacturer = mfg;
    p.IsCatchAll = catchAll;
    p.IsIgnore = ignore;
    if (mfg)
        p.Drivers.clear();
    return p;
}

CActivePrinter Printer(const char* name, const char* driver, bool stays, const char* masked = "")
{
    CActivePrinter p;
    text::CopyWhole(p.PrinterName, name);
    text::CopyWhole(p.DriverName, driver);
    text::CopyWhole(p.MaskedName, masked);
    p.IsMakerDriver = 1;
    p.Skip = stays;
    return p;
}

bool Has(const Items& items, const char* item)
{
    return std::any_of(items.begin(), items.end(), [&](const std::string& s) { return text::FoldEqual(s, item); });
}

class DatabaseTest : public testing::Test {
protected:
    void Load(bool unvelt = false)
    {
        FillBaseWorkList(db, db.BaseWorkList);
        AdjustForVeltrope(db, unvelt);
    }
    DatabaseContent db;
};

} // namespace

TEST_F(DatabaseTest, ADriverThatAStayingPrinterUsesIsKept)
{
    db.Profiles = {Profile("QUORVEL Lumenta 2400", {"lum.dll", "common.dll"}), Profile("QUORVEL Other", {"oth.dll"})};
    db.Printers = {Printer("Office", "QUORVEL Lumenta 2400", false), Printer("Lab", "QUORVEL Lumenta 2400", true),
                   Printer("Hall", "QUORVEL Other", false)};
    Load();
    ASSERT_TRUE(BuildDatabase(db, false));
    EXPECT_EQ(db.KeptPrinterCount, 1u);
    EXPECT_EQ(db.RemovedPrinterCount, 2u);
    EXPECT_FALSE(Has(db.Merged.Files, "lum.dll"));
    EXPECT_FALSE(Has(db.Merged.Drivers, "QUORVEL Lumenta 2400"));
    EXPECT_TRUE(Has(db.KeepList.Files, "lum.dll"));
    EXPECT_TRUE(Has(db.Merged.Files, "oth.dll"));
    EXPECT_TRUE(Has(db.Merged.Drivers, "QUORVEL Other"));
    // A printer of the maker stays: no common items.
    EXPECT_TRUE(db.Merged.RegistryKeys.empty());
}

TEST_F(DatabaseTest, RemovingEveryMakerPrinterBringsTheCommonItems)
{
    db.Profiles = {Profile("QUORVEL Lumenta 2400", {"lum.dll", "shared.dll"}),
                   Kind(Profile("Veltrope", {"VELTRO32.EXE", "velt.dll"}), false, false, true),
                   Kind(Profile("Common", {"common.dll", "shared.dll"}, "C:\\windows\\system32\\other.UNM"), false,
                        true, false),
                   Kind(Profile("Keep", {"keep.dll"}, "C:\\x\\keep.txt"), false, false, true)};
    db.Printers = {Printer("Office", "QUORVEL Lumenta 2400", false)};
    Load();
    BuildDatabase(db, false);
    EXPECT_EQ(db.KeptPrinterCount, 0u);
    EXPECT_TRUE(Has(db.Merged.Files, "lum.dll"));
    EXPECT_TRUE(Has(db.Merged.Files, "Xrmv___Q.unm"));
    EXPECT_TRUE(Has(db.Merged.Files, "other.UNM"));
    EXPECT_FALSE(Has(db.Merged.Files, "keep.txt"));
    // Catch-all and ignore profiles are kept, even among the common items.
    EXPECT_FALSE(Has(db.Merged.Files, "common.dll"));
    EXPECT_FALSE(Has(db.Merged.Files, "shared.dll"));
    EXPECT_FALSE(Has(db.Merged.Files, "velt.dll"));
    EXPECT_FALSE(Has(db.Merged.Files, "keep.dll"));
    EXPECT_EQ(db.Merged.RegistryKeys,
              (Items{"HKLM,\"SOFTWARE\\QUORVEL\",\"\",0", "HKLM,\"SOFTWARE\\QUORVEL\\Filters\",\"\",1",
                     "HKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",\"\",1", "HKLM,\"SOFTWARE\\QUORVEL\\QRS64__Q\",\"\",1"}));
    EXPECT_EQ(db.VeltropeSpared, 1u);
}

TEST_F(DatabaseTest, VeltropeItemsStayUnlessUnvelt)
{
    db.Profiles = {Profile("QUORVEL Lumenta 2400", {"lum.dll", "velt.dll"}), Profile("Veltrope", {"VELTRO32.EXE", "velt.dll"})};
    db.Printers = {Printer("Office", "QUORVEL Lumenta 2400", false), Printer("Lab", "QUORVEL Lumenta 2400", true)};
    Load(false);
    BuildDatabase(db, false);
    EXPECT_FALSE(Has(db.BaseWorkList.Files, "velt.dll"));
    EXPECT_FALSE(Has(db.Merged.Files, "VELTRO32.EXE"));
    EXPECT_EQ(db.VeltropeSpared, 1u);

    DatabaseContent unvelt;
    unvelt.Profiles = db.Profiles;
    unvelt.Printers = {Printer("Masked", "QUORVEL Lumenta 2400", false, "Office")};
    FillBaseWorkList(unvelt, unvelt.BaseWorkList);
    AdjustForVeltrope(unvelt, true);
    EXPECT_EQ(unvelt.BaseWorkList.Files, (Items{"velt.dll", "VELTRO32.EXE"}));
    BuildDatabase(unvelt, false);
    EXPECT_TRUE(Has(unvelt.Merged.Files, "VELTRO32.EXE"));
    EXPECT_EQ(unvelt.VeltropeSpared, 0u);
    // On Win32s the product's program has another name.
    BuildDatabase(unvelt, true);
    EXPECT_EQ(unvelt.VeltropeSpared, 1u);
}

TEST_F(DatabaseTest, MaskedPrintersFollowInOnePass)
{
    db.Profiles = {Profile("D", {"d.dll"})};
    db.Printers = {Printer("Early", "D", true, "Real"), Printer("Real", "D", false), Printer("Late", "D", true, "real"),
                   Printer("Chain", "D", true, "Late"), Printer("Before", "D", true, "Early")};
    Load();
    BuildDatabase(db, false);
    std::vector<std::uint32_t> skip;
    for (const auto& p : db.Printers)
        skip.push_back(p.Skip);
    // Early and Late follow Real; Late, reached before its turn, passes it on
    // to Chain; Early, reached after its turn, does not pass it to Before.
    EXPECT_EQ(skip, (std::vector<std::uint32_t>{0, 0, 0, 0, 1}));
}

TEST_F(DatabaseTest, ManufacturerProfileByFirstWordTheLastOneWins)
{
    db.Profiles = {Kind(Profile("QUORVEL", {"mfg.dll"}), true, false, false),
                   Kind(Profile("quorvel Mono", {"mono.dll"}), true, false, false),
                   Profile("QUORVEL Lumenta 2400", {"lum.dll"})};
    SortAndUniqueProfiles(db.Profiles);
    UninstallProfile found;
    ASSERT_TRUE(FindManufacturerProfile(db, found, "QUORVEL Xyz 9"));
    EXPECT_STREQ(found.Name, "quorvel Mono");
    EXPECT_FALSE(FindManufacturerProfile(db, found, "Other Xyz"));
    EXPECT_STREQ(found.Name, "");
    ASSERT_TRUE(FindProfile(db, found, "quorvel lumenta 2400"));
    EXPECT_STREQ(found.Name, "QUORVEL Lumenta 2400");

    db.Printers = {Printer("Stays", "QUORVEL Xyz 9", true), Printer("Goes", "QUORVEL Lumenta 2400", false)};
    Load();
    BuildDatabase(db, false);
    EXPECT_TRUE(Has(db.KeepList.Files, "mono.dll"));
    EXPECT_FALSE(Has(db.Merged.Files, "mono.dll"));
    EXPECT_TRUE(Has(db.Merged.Files, "lum.dll"));
}

TEST_F(DatabaseTest, OfferedPrintersAndForeignOnes)
{
    EXPECT_EQ(CountOfferedPrinters(db), 0);
    db.Printers = {Printer("A", "D", false), Printer("B", "D", false), Printer("C", "D", false), Printer("E", "D", false)};
    auto it = db.Printers.begin();
    (++it)->Foreign = 1;
    (++it)->Removed = 1;
    (++it)->Offered = 0;
    EXPECT_EQ(CountOfferedPrinters(db), 1);
}

// For many random machines: nothing that a staying printer's profile, a
// catch-all profile or an ignore profile names is ever removed, and a second
// build gives the same merged profile.
TEST(DatabaseProperty, WhatStaysIsNeverRemovedAndBuildsRepeat)
{
    std::mt19937 rng(7);
    const char* const drivers[] = {"QUORVEL A", "QUORVEL B", "QUORVEL C", "quorvel a", "Other X", "QUORVEL D"};
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        DatabaseContent db;
        const int profiles = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < profiles; ++i) {
            Items files;
            for (int k = static_cast<int>(rng() % 6); k > 0; --k)
            {
                std::string file(1, 'f');
                file += std::to_string(rng() % 12);
                file += (rng() % 2) ? ".dll" : ".DLL";
                files.push_back(file);
            }
            const int kind = static_cast<int>(rng() % 5);
            const char* name = kind == 3 ? "QUORVEL" : drivers[rng() % std::size(drivers)];
            db.Profiles.push_back(Kind(Profile(name, files), kind == 3, kind == 4, kind == 2));
        }
        for (int i = static_cast<int>(rng() % 6); i > 0; --i) {
            std::string name(1, 'P');
            name += std::to_string(i);
            CActivePrinter p = Printer(name.c_str(), drivers[rng() % std::size(drivers)],
                                       rng() % 2, (rng() % 4 == 0) ? "P1" : "");
            p.Foreign = rng() % 8 == 0;
            db.Printers.push_back(p);
        }
        FillBaseWorkList(db, db.BaseWorkList);
        AdjustForVeltrope(db, false);
        BuildDatabase(db, false);
        const UninstallProfile first = db.Merged;

        UninstallProfile needed;
        for (const auto& p : db.Printers) {
            if (p.Foreign || p.Removed || !p.Skip)
                continue;
            UninstallProfile profile;
            if (FindProfile(db, profile, p.DriverName) || FindManufacturerProfile(db, profile, p.DriverName))
                needed.Merge(profile);
        }
        for (const auto& p : db.Profiles) {
            if (p.IsCatchAll || p.IsIgnore)
                needed.Merge(p);
        }
        for (auto list : kAllLists) {
            for (const auto& item : needed.*list)
                ASSERT_FALSE(Has(db.Merged.*list, item.c_str())) << item;
        }

        BuildDatabase(db, false);
        for (auto list : kAllLists)
            ASSERT_EQ(db.Merged.*list, first.*list);
    }
}
