#include <gtest/gtest.h>

#include <algorithm>
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
    std::vector<std::uint32_t> removed, skip;
    for (const auto& p : db.Printers) {
        removed.push_back(p.ToRemove);
        skip.push_back(p.Skip);
    }
    // Early and Late follow Real; Late, reached before its turn, passes it on
    // to Chain; Early, reached after its turn, does not pass it to Before.
    EXPECT_EQ(removed, (std::vector<std::uint32_t>{1, 1, 1, 1, 0}));
    EXPECT_EQ(db.RemovedPrinterCount, 4u);
    // The selection itself is the selection page's: the build leaves it.
    EXPECT_EQ(skip, (std::vector<std::uint32_t>{1, 0, 1, 1, 1}));

    SCOPED_TRACE("the masked printers stay once Real is deselected");
    (++db.Printers.begin())->Skip = 1;
    BuildDatabase(db, false);
    for (const auto& p : db.Printers)
        EXPECT_EQ(p.ToRemove, 0u) << p.PrinterName;
    EXPECT_EQ(db.KeptPrinterCount, 5u);
    EXPECT_TRUE(db.Merged.Files.empty());
}

TEST_F(DatabaseTest, AForeignPrinterOnAMakerDriverKeepsWhatItsDriverNeeds)
{
    db.Profiles = {Profile("QUORVEL Lumenta 2400", {"lum.dll"}),
                   Kind(Profile("QUORVEL", {"qmfg.dll"}), true, false, false), Profile("QUORVEL Other", {"oth.dll"})};
    db.Printers = {Printer("Goes", "QUORVEL Lumenta 2400", false), Printer("By hand", "QUORVEL Lumenta 2400", false),
                   Printer("Acme", "Acme Laser 9", false)};
    auto byHand = ++db.Printers.begin();
    byHand->IsMakerDriver = 0;
    byHand->Foreign = 1;
    db.Printers.back().IsMakerDriver = 0;
    db.Printers.back().Foreign = 1;
    Load();
    BuildDatabase(db, false);
    EXPECT_FALSE(Has(db.Merged.Files, "lum.dll"));
    EXPECT_FALSE(Has(db.Merged.Drivers, "QUORVEL Lumenta 2400"));
    EXPECT_TRUE(Has(db.Merged.Files, "oth.dll"));
    // The queue on the maker's driver counts as kept: no common items. The
    // other maker's printer knows no profile and counts for nothing.
    EXPECT_EQ(db.KeptPrinterCount, 1u);
    EXPECT_EQ(db.RemovedPrinterCount, 1u);
    EXPECT_FALSE(Has(db.Merged.Files, "Xrmv___Q.unm"));
    EXPECT_TRUE(db.Merged.RegistryKeys.empty());
    EXPECT_EQ(byHand->ToRemove, 0u);

    SCOPED_TRACE("a foreign printer known only by the manufacturer profile");
    byHand->Skip = 0;
    text::CopyWhole(byHand->DriverName, "QUORVEL Xyz 9");
    BuildDatabase(db, false);
    EXPECT_FALSE(Has(db.Merged.Files, "qmfg.dll"));
    EXPECT_TRUE(Has(db.Merged.Files, "lum.dll"));
    EXPECT_EQ(db.KeptPrinterCount, 1u);
}

TEST_F(DatabaseTest, WhatTheSpoolerSaysAStayingQueueUsesStays)
{
    UninstallProfile goes = Profile("QUORVEL Lumenta 2400", {"lum.dll", "UNIDRV.DLL", "unires.dll", "QRVUI.DLL"});
    goes.PrintProcessors = {"QrvProc", "winprint"};
    db.Profiles = {goes};
    db.Printers = {Printer("Goes", "QUORVEL Lumenta 2400", false), Printer("Stays", "Acme Unidrv 5", true),
                   Printer("Also goes", "QUORVEL Lumenta 2400", false)};
    auto stays = ++db.Printers.begin();
    stays->Foreign = 1;
    stays->DriverFiles = {"unidrv.dll", "UNIDRVUI.DLL", "ACME5.GPD"};
    text::CopyWhole(stays->PrintProcessor, "WinPrint");
    // What a printer that goes uses protects nothing.
    db.Printers.back().DriverFiles = {"qrvui.dll"};
    text::CopyWhole(db.Printers.back().PrintProcessor, "QrvProc");
    Load();
    BuildDatabase(db, false);
    // No printer of the maker stays: the script goes too.
    EXPECT_EQ(db.Merged.Files, (Items{"lum.dll", "QRVUI.DLL", "unires.dll", "Xrmv___Q.unm"}));
    EXPECT_EQ(db.Merged.PrintProcessors, (Items{"QrvProc"}));
}

TEST_F(DatabaseTest, CommonItemsBelongToTheBuildThatRemovesEveryMakerPrinter)
{
    db.Profiles = {Profile("QUORVEL Lumenta 2400", {"lum.dll"}), Profile("QUORVEL Other", {"oth.dll"})};
    db.Printers = {Printer("A", "QUORVEL Lumenta 2400", false), Printer("B", "QUORVEL Other", false)};
    Load();
    const UninstallProfile base = db.BaseWorkList;
    BuildDatabase(db, false);
    EXPECT_EQ(db.Merged.RegistryKeys.size(), 4u);
    EXPECT_TRUE(Has(db.Merged.Files, "Xrmv___Q.unm"));

    // Another round: B stays now, and the maker's keys with it.
    db.Printers.back().Skip = 1;
    BuildDatabase(db, false);
    EXPECT_TRUE(db.Merged.RegistryKeys.empty());
    EXPECT_EQ(db.Merged.Files, (Items{"lum.dll"}));
    for (auto list : kAllLists)
        EXPECT_EQ(db.BaseWorkList.*list, base.*list);
}

TEST_F(DatabaseTest, ItemsAreKeptByWhatTheyNameNotByTheirText)
{
    UninstallProfile goes = Profile("Goes", {"a.dll=1", "\"B.DLL\"", "sub\\c.dll", "d.dll"});
    goes.RegistryKeys = {"HKLM,\"SOFTWARE\\Shared\",\"\",1", "HKLM,\"SOFTWARE\\Own\",\"\",1",
                         "hklm,software\\value,\"Name\",0", "HKLM,\"SOFTWARE\\Value\",\"Other\",0",
                         "HKCR,\"QuorvelDoc\\shell\",,1", "HKCU,\"SOFTWARE\\Shared\",,1"};
    goes.Directorys = {"Q\\Lum", "Q\\Own"};
    goes.Services = {"\"QSvc\""};
    UninstallProfile stays = Profile("Stays", {"A.DLL", "b.dll=2", "c.dll"});
    stays.RegistryKeys = {"HKLM,\"SOFTWARE\\Shared\\B\",\"\",0", "HKLM,\"SOFTWARE\\VALUE\\\",\"name\",0",
                          "HKLM,SOFTWARE\\Classes\\QuorvelDoc\\shell\\open,,0"};
    stays.Directorys = {"q/lum/x/"};
    stays.Services = {"qsvc"};
    for (UninstallProfile* p : {&goes, &stays}) {
        p->SortAll();
        p->UniqueAll();
    }
    db.Profiles = {goes, stays};
    db.Printers = {Printer("G", "Goes", false), Printer("S", "Stays", true)};
    Load();
    BuildDatabase(db, false);
    // Only what names nothing the staying printer needs goes, as written.
    EXPECT_EQ(db.Merged.Files, (Items{"d.dll"}));
    EXPECT_EQ(db.Merged.RegistryKeys, (Items{"HKCU,\"SOFTWARE\\Shared\",,1", "HKLM,\"SOFTWARE\\Own\",\"\",1",
                                             "HKLM,\"SOFTWARE\\Value\",\"Other\",0"}));
    EXPECT_EQ(db.Merged.Directorys, (Items{"Q\\Own"}));
    EXPECT_TRUE(db.Merged.Services.empty());
}

TEST_F(DatabaseTest, WhatWindowsItselfNeedsIsNeverRemovedWhateverAScriptSays)
{
    UninstallProfile goes = Profile("Goes", {"QUORVE~1.DLL", "qrv.dll"});
    goes.RegistryKeys = {"HKLM,\"\",,1", "HKCR,,,1", "HKU,\".DEFAULT\",,1", "HKLM,SOFTWARE,,1",
                         "HKLM,SOFTWARE\\Microsoft,,1", "HKLM,SYSTEM\\CurrentControlSet\\Services,,1",
                         "HKLM,SYSTEM\\CurrentControlSet\\Services\\QrvSvc,,1"};
    goes.Directorys = {"\\", "Quorvel"};
    goes.Shortcuts = {"Startup", "Quorvel"};
    goes.SortAll();
    db.Profiles = {goes};
    db.Printers = {Printer("G", "Goes", false)};
    Load();
    BuildDatabase(db, false);
    EXPECT_EQ(db.Merged.Files, (Items{"qrv.dll", "Xrmv___Q.unm"}));
    // The maker's four keys and the service's own key only.
    EXPECT_EQ(db.Merged.RegistryKeys,
              (Items{"HKLM,\"SOFTWARE\\QUORVEL\",\"\",0", "HKLM,\"SOFTWARE\\QUORVEL\\Filters\",\"\",1",
                     "HKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",\"\",1", "HKLM,\"SOFTWARE\\QUORVEL\\QRS64__Q\",\"\",1",
                     "HKLM,SYSTEM\\CurrentControlSet\\Services\\QrvSvc,,1"}));
    EXPECT_EQ(db.Merged.Directorys, (Items{"Quorvel"}));
    EXPECT_EQ(db.Merged.Shortcuts, (Items{"Quorvel"}));
}

TEST_F(DatabaseTest, JapaneseNamesDifferingInATrailByteAreDifferentProfiles)
{
    // Under code page 932 "\x83\x41" and "\x83\x61" are two katakana whose
    // second bytes are 'A' and 'a'.
    db.Profiles = {Profile("QUORVEL \x83\x61", {"second.dll"}), Profile("QUORVEL \x83\x41", {"first.dll"})};
    SortAndUniqueProfiles(db.Profiles);
    ASSERT_EQ(db.Profiles.size(), 2u);
    EXPECT_STREQ(db.Profiles[0].Name, "QUORVEL \x83\x41");
    db.Printers = {Printer("P1", "QUORVEL \x83\x41", true), Printer("P2", "quorvel \x83\x61", false)};
    Load();
    BuildDatabase(db, false);
    EXPECT_EQ(db.Merged.Files, (Items{"second.dll"}));
    // A single-byte letter still folds.
    EXPECT_TRUE(text::FoldEqual("QUORVEL \x83\x41 X", "quorvel \x83\x41 x"));
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
