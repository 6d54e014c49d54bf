// The OEM INF search and the INF deletions of the removal's file step, on
// INF files written into the bed's INF directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "door/DryRunDoor.h"
#include "door/OemInfUninstall.h"
#include "door/RealDoor.h"
#include "SplProxyFaults.h"
#include "spooler/DriverInfFiles.h"
#include "drivers/DriverFixtures.h"
#include "machine/Machine.h"
#include "support/JournalCapture.h"
#include "system/OemInf.h"

namespace {

constexpr char kLumenta[] = "QUORVEL Lumenta 2400";
const OSVERSIONINFOA kXp = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 5, 1);
constexpr char kOemNames[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name";

class OemInfTest : public testing::Test {
protected:
    void SetUp() override
    {
        SplProxyFault_Clear();
        text::CopyWhole(state.CurrentDriver, kLumenta);
        // Before the driver store the INF copies are plain files.
        state.Platform = PlatformKind(&kXp);
    }
    void TearDown() override { SetInfLister({}); }

    // The search walks the given names, in their order.
    void ListOnly(std::vector<std::string> names)
    {
        SetInfLister([names](std::string& list) {
            for (const std::string& name : names)
                list.append(name).push_back('\0');
            return true;
        });
    }

    drivers::InfFiles infs;
    RealDoor door;
    RemovalState state{door};
};

TEST_F(OemInfTest, SearchFindsTheFirstOemInfNamingTheDriver)
{
    infs.Put("inf\\oem9401.inf", "QUORVEL LUMENTA 2400");
    infs.Put("inf\\oem9402.inf", std::string(kLumenta) + " PCL");
    infs.Put("inf\\oem9403.inf", kLumenta);
    infs.Put("inf\\prn9404.inf", kLumenta);
    char found[20] = "x";

    ListOnly({"prn9404.inf", "oem9401.inf", "OEM9403.INF", "oem9402.inf"});
    FindOemInfForPrinter(door, found, kLumenta);
    EXPECT_STREQ(found, "OEM9403.INF") << "not another maker's name, nor another letter case";

    ListOnly({"oem9401.inf"});
    FindOemInfForPrinter(door, found, kLumenta);
    EXPECT_STREQ(found, "");

    ListOnly({"oem9405.inf"});
    FindOemInfForPrinter(door, found, kLumenta);
    EXPECT_STREQ(found, "") << "a file that isn't there names nothing";

    {
        // This platform's setup library answers success and leaves the file.
        const std::string path = drivers::WindowsDirectory() + "\\inf\\oem9403.inf";
        const JournalCapture journal;
        EXPECT_FALSE(door.UninstallOemInf(path.c_str(), "oem9403.inf"));
        EXPECT_TRUE(journal.Only(journal::op::kOemInf, path, journal::Outcome::Failed)) << journal.Dump();
    }
    const drivers::PackageStandIn packages;
    EXPECT_EQ(UninstallOemInf("oem9402.inf"), 0);
    EXPECT_FALSE(drivers::Exists(drivers::WindowsDirectory() + "\\inf\\oem9402.inf"));
    EXPECT_EQ(UninstallOemInf("oem9402.inf"), 2);
    EXPECT_EQ(packages.flags, (std::vector<DWORD>{0, 0})) << "never forced";
}

TEST_F(OemInfTest, FileStepDeletesTheInfsOfTheLastDriverUnlessItStaysInstalled)
{
    const std::string match = infs.Put("inf\\oem9501.inf", std::string(kLumenta) + " Series");
    const std::string caseOff = infs.Put("inf\\oem9502.inf", "quorvel lumenta 2400");
    const std::string compiled = drivers::WindowsDirectory() + "\\inf\\oem9501.pnf";
    ASSERT_TRUE(bed::WriteFile(compiled, "precompiled"));
    infs.Track(compiled);
    {
        SCOPED_TRACE("the driver is still installed");
        machine::Machine machine;
        ASSERT_TRUE(machine.InstallDriver(machine::Driver(kLumenta)));
        DeleteOemInfFiles(state);
        EXPECT_TRUE(drivers::Exists(match));
    }
    {
        SCOPED_TRACE("the spooler can't list its drivers");
        SplProxyFault_Set("EnumPrinterDriversA", RPC_S_SERVER_UNAVAILABLE, -1);
        DeleteOemInfFiles(state);
        EXPECT_TRUE(drivers::Exists(match));
        SplProxyFault_Clear();
    }
    {
        SCOPED_TRACE("no driver recorded");
        RemovalState none{door};
        none.Platform = PlatformKind(&kXp);
        DeleteOemInfFiles(none);
        EXPECT_TRUE(drivers::Exists(match));
    }
    DeleteOemInfFiles(state);
    EXPECT_FALSE(drivers::Exists(match));
    EXPECT_TRUE(drivers::Exists(caseOff));
    EXPECT_TRUE(drivers::Exists(compiled));
}

TEST_F(OemInfTest, ADryRunCountsTheDriverItWouldRemoveAsGoneAndDeletesNoInf)
{
    using journal::Outcome;
    using journal::op::kOemInf;
    constexpr char kStaying[] = "QUORVEL Lumenta 3100";
    const std::string own = infs.Put("inf\\oem9601.inf", kLumenta);
    const std::string shared = infs.Put("inf\\oem9602.inf", std::string(kLumenta) + ", " + kStaying);
    machine::Machine machine;
    ASSERT_TRUE(machine.InstallDriver(machine::Driver(kLumenta)));
    ASSERT_TRUE(machine.InstallDriver(machine::Driver(kStaying)));
    {
        // The driver removal has recorded the driver it would remove; it is
        // still installed.
        const JournalCapture journal;
        DryRunDoor dry;
        RemovalState dryState{dry};
        dryState.Platform = PlatformKind(&kXp);
        text::CopyWhole(dryState.CurrentDriver, kLumenta);
        dry.DeleteDriver(nullptr, kLumenta);
        DeleteOemInfFiles(dryState);
        EXPECT_TRUE(drivers::Exists(own));
        EXPECT_TRUE(journal.Only(kOemInf, own, Outcome::WouldRemove)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kOemInf, shared, Outcome::Kept)) << journal.Dump();
    }
    // The real run, once the driver is gone.
    machine.Clear();
    ASSERT_TRUE(machine.InstallDriver(machine::Driver(kStaying)));
    const JournalCapture journal;
    DeleteOemInfFiles(state);
    EXPECT_FALSE(drivers::Exists(own));
    EXPECT_TRUE(drivers::Exists(shared));
    EXPECT_TRUE(journal.Only(kOemInf, own, Outcome::Removed)) << journal.Dump();
    EXPECT_TRUE(journal.Only(kOemInf, shared, Outcome::Kept)) << journal.Dump();
}

// With a driver store a published INF is a package: the file step never
// deletes one as a file. The driver step decided the packages of the
// drivers it deleted; for any other driver the package it came from can't
// be told once the driver is gone, and it stays.
TEST_F(OemInfTest, WithADriverStoreTheFileStepDeletesNoPublishedInfAsAFile)
{
    using journal::Outcome;
    using journal::op::kOemInf;
    const std::string match = infs.Put("inf\\oem9701.inf", kLumenta);
    const drivers::PackageStandIn packages;
    ListOnly({"oem9701.inf"});
    const OSVERSIONINFOA windows10 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 10, 0);
    state.Platform = PlatformKind(&windows10);
    {
        const JournalCapture journal;
        DeleteOemInfFiles(state);
        // Named as the driver step names the INF files it decides.
        EXPECT_TRUE(journal.Only(kOemInf, drivers::WindowsDirectory() + "\\INF\\oem9701.inf", Outcome::Kept))
            << journal.Dump();
    }
    {
        SCOPED_TRACE("the driver step deleted the driver and decided its packages");
        state.RemovedDrivers.push_back({kLumenta, std::string("oem9702.inf")});
        const JournalCapture journal;
        DeleteOemInfFiles(state);
        EXPECT_EQ(journal.Dump(), "");
    }
    EXPECT_TRUE(drivers::Exists(match));
    EXPECT_TRUE(packages.flags.empty());
}

TEST_F(OemInfTest, Windows9xCopiesGoWithTheirOemNameValues)
{
    const std::string first = infs.Put("inf\\other\\QUORVELM9x____LUM1.inf", kLumenta);
    const std::string second = infs.Put("inf\\other\\QUORVELM9x____LUM2.inf", std::string(kLumenta) + " PS");
    const std::string other = infs.Put("inf\\other\\QUORVELM9x____ACME.inf", "Acme LaserWriter 9");
    SetFileAttributesA(first.c_str(), FILE_ATTRIBUTE_READONLY);
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOemNames, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    RegistryKey key(opened);
    for (const std::string& path : {first, second, other})
        RegSetValueExA(key.Get(), path.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    auto hasValue = [&](const std::string& name) {
        return RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    };

    DeleteWin9xOemInfFiles(state);

    EXPECT_FALSE(drivers::Exists(first)) << "read-only is no protection";
    EXPECT_FALSE(drivers::Exists(second));
    EXPECT_TRUE(drivers::Exists(other));
    EXPECT_FALSE(hasValue(first));
    EXPECT_FALSE(hasValue(second));
    EXPECT_TRUE(hasValue(other));
    key.Close();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOemNames);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX");
}

} // namespace
