// The driver removal against real drivers and queues of the bed. The
// spooler of this platform deletes a driver a queue still uses and never
// refuses one, so the refusal comes from the test proxy.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "door/DryRunDoor.h"
#include "door/OemInfUninstall.h"
#include "door/RealDoor.h"
#include "SplProxyFaults.h"
#include "spooler/DriverRemoval.h"
#include "drivers/DriverFixtures.h"
#include "machine/Machine.h"
#include "spooler/PrinterRemoval.h"
#include "common/DriverEnvironments.h"
#include "common/Journal.h"
#include "door/SpoolerKeys.h"
#include "system/OemInf.h"

namespace {

constexpr char kLumenta[] = "QUORVEL Lumenta 2400";
constexpr char kOther[] = "QUORVEL Lumenta 5000";
constexpr char kNtX86[] = "Windows NT x86";
// The spooler's own environment of this 64-bit program.
constexpr char kX64[] = "Windows x64";
constexpr char kWin40[] = "Windows 4.0";
constexpr char kArm64[] = "Windows ARM64";

std::string NtItem(const char* environment, int version, const char* driver)
{
    return std::string("HKLM,\"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\") + environment +
           "\\Drivers\\Version-" + std::to_string(version) + "\\" + driver + "\",\"\",0";
}

std::vector<std::string> NtItems(const char* environment, const char* driver)
{
    std::vector<std::string> items;
    // Version-4 holds the drivers of the class model of Windows 8 and later.
    for (int version = 0; version <= 4; ++version)
        items.push_back(NtItem(environment, version, driver));
    return items;
}

CActivePrinter Record(const char* name, const char* driver, std::uint32_t toRemove, std::uint32_t foreign = 0)
{
    CActivePrinter p;
    text::CopyWhole(p.PrinterName, name);
    text::CopyWhole(p.DriverName, driver);
    p.ToRemove = toRemove;
    p.Foreign = foreign;
    return p;
}

class DriverRemovalTest : public testing::Test {
protected:
    void SetUp() override
    {
        SplProxyFault_Clear();
        // Wine's own list leaves out the oem<n>.inf files written here.
        SetInfLister([this](std::string& names) {
            ++listings;
            for (const std::string& name : drivers::InfDirectoryNames())
                names.append(name).push_back('\0');
            return true;
        });
        On(bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1));
    }
    void TearDown() override
    {
        SplProxyFault_Clear();
        SetInfLister({});
        for (const std::string& name : otherEnvironmentDrivers) {
            spooler.DeletePrinterDriverA(nullptr, const_cast<char*>(kNtX86), const_cast<char*>(name.c_str()));
            spooler.DeletePrinterDriverA(nullptr, const_cast<char*>(kWin40), const_cast<char*>(name.c_str()));
            spooler.DeletePrinterDriverA(nullptr, const_cast<char*>(kArm64), const_cast<char*>(name.c_str()));
        }
        SetEnvironmentReader(nullptr);
    }

    void On(const OSVERSIONINFOA& version)
    {
        state.Database = &database;
        state.Platform = PlatformKind(&version);
    }
    bool Install(const char* name, const char* environment = nullptr)
    {
        machine::Driver driver(name);
        if (environment) {
            driver.environment = environment;
            otherEnvironmentDrivers.push_back(name);
        }
        return machine.InstallDriver(driver);
    }
    void RemoveEverywhere() { RemoveEverywhere(state); }
    static void RemoveEverywhere(RemovalState& run)
    {
        RemovePrinterDrivers(run, nullptr);
        RemovePrinterDrivers(run, kNtX86);
        RemovePrinterDrivers(run, kWin40);
    }

    machine::Machine machine;
    drivers::RealSpooler spooler;
    drivers::InfFiles infs;
    drivers::PackageStandIn packages;
    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
    std::vector<std::string> otherEnvironmentDrivers;
    int listings = 0;
};

TEST_F(DriverRemovalTest, ListedDriverGoesFromEveryEnvironmentOnceWithItsKeys)
{
    ASSERT_TRUE(Install(kLumenta));
    ASSERT_TRUE(Install(kLumenta, kNtX86));
    ASSERT_TRUE(Install(kLumenta, kWin40));
    ASSERT_TRUE(Install(kOther));
    // Names differing in letter case are one driver.
    database.Merged.Drivers = {kLumenta, "quorvel LUMENTA 2400"};

    RemoveEverywhere();

    EXPECT_FALSE(spooler.Installed(kLumenta));
    EXPECT_FALSE(spooler.Installed(kLumenta, kNtX86));
    EXPECT_FALSE(spooler.Installed(kLumenta, kWin40));
    EXPECT_TRUE(spooler.Installed(kOther)) << "a driver nothing names stays";
    EXPECT_EQ(SplProxyFault_CallCount("DeletePrinterDriverA"), 3);
    // Each pass names the keys of its own environment.
    std::vector<std::string> expected = NtItems(kX64, kLumenta);
    for (const std::string& item : NtItems(kNtX86, kLumenta))
        expected.push_back(item);
    for (const std::string& item : NtItems(kWin40, kLumenta))
        expected.push_back(item);
    EXPECT_EQ(database.Merged.RegistryKeys, expected);
}

// A print server keeps drivers for clients of the other 64-bit kind too:
// they go with the removal. The running environment is the spooler's, which
// on ARM64 is not the x64 one this program is built for; this platform has
// no ARM64 spooler, so that answer comes from a stand-in for the spooler.
TEST_F(DriverRemovalTest, TheOther64BitEnvironmentsDriverGoesTooAndTheRunningOneIsTheSpoolers)
{
    ASSERT_TRUE(Install(kLumenta));
    ASSERT_TRUE(Install(kLumenta, kArm64));
    database.Merged.Drivers = {kLumenta};

    for (const char* environment : RemovalEnvironments())
        RemovePrinterDrivers(state, environment);

    EXPECT_FALSE(spooler.Installed(kLumenta));
    EXPECT_FALSE(spooler.Installed(kLumenta, kArm64));
    EXPECT_STREQ(RunningEnvironment(), kX64) << "this bed's spooler is an x64 one";

    SCOPED_TRACE("on ARM64");
    SetEnvironmentReader([] { return std::optional<std::string>(kArm64); });
    EXPECT_STREQ(RunningEnvironment(), kArm64);
    EXPECT_EQ(EnvironmentItem(nullptr, kLumenta), std::string(kLumenta) + " (Windows ARM64)");
    const std::vector<std::string> keys = DriverKeys(state.Platform, nullptr, kLumenta);
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.back(),
              std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows ARM64\\Drivers\\Version-4\\") +
                  kLumenta);
    const std::span<const char* const> swept = RemovalEnvironments();
    EXPECT_TRUE(std::any_of(swept.begin(), swept.end(),
                            [](const char* e) { return e && std::string(e) == kX64; }))
        << "the x64 drivers are the other 64-bit kind there";
}

TEST_F(DriverRemovalTest, PlatformChoosesTheRegistryItems)
{
    const std::string win9x = std::string("HKLM,\"System\\CurrentControlSet\\control\\Print\\Environments\\"
                                          "Windows 4.0\\Drivers\\") + kLumenta + "\",\"\",0";
    struct Case {
        const char* name;
        OSVERSIONINFOA version;
        std::vector<std::string> items;
    } cases[] = {
        {"Windows 98", bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10), {win9x}},
        {"Windows 95", bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 0), {win9x}},
        {"NT 4.0", bed::VersionRecord(VER_PLATFORM_WIN32_NT, 4, 0), NtItems(kX64, kLumenta)},
        {"Win32s", bed::VersionRecord(VER_PLATFORM_WIN32s, 3, 11), {}},
        {"no known platform", bed::VersionRecord(3, 10, 0), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Install(kLumenta));
        database.Merged = {};
        database.Merged.Drivers = {kLumenta};
        On(c.version);
        RemovePrinterDrivers(state, nullptr);
        EXPECT_FALSE(spooler.Installed(kLumenta));
        EXPECT_EQ(database.Merged.RegistryKeys, c.items);
    }
}

TEST_F(DriverRemovalTest, PrintersThatGoOrStayDecideTheCandidates)
{
    const char kGone[] = "QUORVEL Lumenta 1100";
    const char kShared[] = "QUORVEL Lumenta 1200";
    const char kForeign[] = "QUORVEL Lumenta 1300";
    for (const char* name : {kGone, kShared, kForeign})
        ASSERT_TRUE(Install(name));
    // The queues are gone already, as after the printer removal; the
    // inventory still tells which went and which stay.
    database.Printers = {Record("Gone A", kGone, 1), Record("Gone B", kShared, 1),
                         Record("Staying B", "quorvel lumenta 1200", 0), Record("Other C", kForeign, 1, 1)};

    RemovePrinterDrivers(state, nullptr);

    EXPECT_FALSE(spooler.Installed(kGone));
    EXPECT_TRUE(spooler.Installed(kShared)) << "a printer that stays keeps its driver";
    EXPECT_TRUE(spooler.Installed(kForeign)) << "a foreign printer's driver is not taken on its account";
    EXPECT_EQ(database.Merged.RegistryKeys, NtItems(kX64, kGone));
}

TEST_F(DriverRemovalTest, DriverStillInUseKeepsItsKeysAndInf)
{
    const std::string inf = infs.Put("inf\\oem9201.inf", std::string(kLumenta) + " PCL");
    {
        SCOPED_TRACE("a queue of another maker on a listed driver");
        ASSERT_TRUE(machine.InstallPrinter({"Acme on Lumenta", kLumenta, false}));
        database.Printers = {Record("Acme on Lumenta", kLumenta, 0, 1)};
        database.Merged.Drivers = {kLumenta};
        RemovePrinterDrivers(state, nullptr);
        EXPECT_TRUE(spooler.Installed(kLumenta));
        EXPECT_TRUE(database.Merged.RegistryKeys.empty());
        EXPECT_TRUE(drivers::Exists(inf));
    }
    machine.Clear();
    database = {};
    // The queue is gone: the next step lists the printers anew.
    state.Printers.Forget();
    {
        SCOPED_TRACE("the spooler refuses: in use");
        ASSERT_TRUE(Install(kLumenta));
        database.Merged.Drivers = {kLumenta};
        SplProxyFault_Set("DeletePrinterDriverA", ERROR_PRINTER_DRIVER_IN_USE, 1);
        RemovePrinterDrivers(state, nullptr);
        EXPECT_TRUE(database.Merged.RegistryKeys.empty());
        EXPECT_TRUE(drivers::Exists(inf));
    }
    {
        SCOPED_TRACE("the spooler can't list its printers");
        SplProxyFault_Set("EnumPrintersA", RPC_S_SERVER_UNAVAILABLE, -1);
        state.Printers.Forget();
        RemovePrinterDrivers(state, nullptr);
        EXPECT_TRUE(spooler.Installed(kLumenta));
        EXPECT_EQ(SplProxyFault_CallCount("DeletePrinterDriverA"), 1) << "no further deletion tried";
        EXPECT_TRUE(database.Merged.RegistryKeys.empty());
        EXPECT_TRUE(drivers::Exists(inf));
    }
}

TEST_F(DriverRemovalTest, PscriptDriversGoWithTheMaskingTool)
{
    const char kPs[] = "QUORVEL Veltrope (PSCRIPT)";
    const char kPsLower[] = "QUORVEL Mono (pscript)";
    const char kPsQueue[] = "QUORVEL Mask (PSCRIPT)";
    for (const char* name : {kPs, kPsLower, kPsQueue})
        ASSERT_TRUE(Install(name));
    // A queue named as the driver, though on another driver, keeps it.
    ASSERT_TRUE(machine.InstallPrinter({kPsQueue, kOther}));

    database.VeltropeSpared = 1;
    RemovePrinterDrivers(state, nullptr);
    EXPECT_TRUE(spooler.Installed(kPs)) << "the masking tool stays, so does its driver";

    database.VeltropeSpared = 0;
    RemovePrinterDrivers(state, nullptr);
    EXPECT_FALSE(spooler.Installed(kPs));
    EXPECT_TRUE(spooler.Installed(kPsLower));
    EXPECT_TRUE(spooler.Installed(kPsQueue));
    EXPECT_EQ(database.Merged.RegistryKeys, NtItems(kX64, kPs));
}

// What the journal said of one INF.
struct InfTold {
    journal::Outcome result;
    std::string reason;
};

std::map<std::string, InfTold> InfOutcomes(const std::function<void()>& run)
{
    std::map<std::string, InfTold> told;
    journal::SetSink([&](const journal::Entry& e) {
        if (std::string(e.Operation) == journal::op::kOemInf) {
            const std::string item = e.Item;
            told[item.substr(item.find_last_of('\\') + 1)] = {e.Result, e.Reason};
        }
    });
    run();
    journal::Reset();
    return told;
}

TEST_F(DriverRemovalTest, OnlyThePackageTheDriverCameFromIsUninstalledAndNeverForced)
{
    // Another model's package, only staged, whose printer name holds this
    // driver's name.
    const std::string staged = infs.Put("inf\\oem9301.inf", std::string(kLumenta) + " PCL6");
    const std::string caseOff = infs.Put("inf\\oem9302.inf", "QUORVEL LUMENTA 2400");
    const std::string own = infs.Put("inf\\oem9303.inf", std::string("Series ") + kLumenta);
    packages.from[kLumenta] = "oem9303.inf";
    ASSERT_TRUE(Install(kLumenta));
    database.Merged.Drivers = {kLumenta};

    const auto told = InfOutcomes([&] { RemovePrinterDrivers(state, nullptr); });

    EXPECT_FALSE(drivers::Exists(own));
    EXPECT_TRUE(drivers::Exists(staged));
    EXPECT_TRUE(drivers::Exists(caseOff)) << "the printer name is matched with its letter case";
    EXPECT_EQ(packages.flags, std::vector<DWORD>{0}) << "one uninstall, never forced";
    ASSERT_EQ(told.count("oem9301.inf"), 1u);
    EXPECT_EQ(told.at("oem9301.inf").reason, "driver \"QUORVEL Lumenta 2400\" came from oem9303.inf");
    EXPECT_EQ(told.count("oem9302.inf"), 0u);
}

TEST_F(DriverRemovalTest, APackageADriverThatStaysMayNeedIsKept)
{
    const char kStays[] = "QUORVEL Lumenta 2400 PS";
    // One package installed both drivers, but its printer name names one.
    const std::string shared = infs.Put("inf\\oem9305.inf", kLumenta);
    packages.from = {{kLumenta, "oem9305.inf"}, {kStays, "oem9305.inf"}};
    ASSERT_TRUE(Install(kStays));
    database.Merged.Drivers = {kLumenta};
    struct Case {
        const char* staysFrom;
        const char* inUse;
        journal::Outcome result;
        const char* reason;
    } const cases[] = {
        {"oem9305.inf", "", journal::Outcome::Kept, "driver \"QUORVEL Lumenta 2400 PS\" comes from it too"},
        {"", "", journal::Outcome::Kept, "the package driver \"QUORVEL Lumenta 2400 PS\" came from could not be read"},
        {"oem9306.inf", "oem9305.inf", journal::Outcome::Failed, ""}, // a device uses it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        packages.from[kStays] = c.staysFrom;
        packages.inUse = {c.inUse};
        ASSERT_TRUE(Install(kLumenta));

        const auto told = InfOutcomes([&] { RemovePrinterDrivers(state, nullptr); });

        EXPECT_FALSE(spooler.Installed(kLumenta));
        EXPECT_TRUE(spooler.Installed(kStays));
        EXPECT_TRUE(drivers::Exists(shared));
        ASSERT_EQ(told.count("oem9305.inf"), 1u);
        EXPECT_EQ(told.at("oem9305.inf").result, c.result);
        EXPECT_EQ(told.at("oem9305.inf").reason, c.reason);
    }

    SCOPED_TRACE("the package of the deleted driver can't be told");
    packages.from[kLumenta] = "";
    packages.from[kStays] = "oem9306.inf";
    packages.inUse.clear();
    ASSERT_TRUE(Install(kLumenta));
    RemovePrinterDrivers(state, nullptr);
    EXPECT_TRUE(drivers::Exists(shared));
}

// Before the driver store, the INF's printer names are all there is to go
// by: one that names a driver that stays too is kept.
TEST_F(DriverRemovalTest, BeforeTheDriverStoreAnInfThatNamesADriverThatStaysIsKept)
{
    On(bed::VersionRecord(VER_PLATFORM_WIN32_NT, 5, 1));
    const char kStays[] = "QUORVEL Lumenta 3100";
    const std::string shared = infs.Put("inf\\oem9307.inf", std::string(kLumenta) + ", " + kStays);
    const std::string own = infs.Put("inf\\oem9308.inf", kLumenta);
    ASSERT_TRUE(Install(kLumenta));
    ASSERT_TRUE(Install(kStays));
    database.Merged.Drivers = {kLumenta};

    RemovePrinterDrivers(state, nullptr);

    EXPECT_FALSE(spooler.Installed(kLumenta));
    EXPECT_TRUE(drivers::Exists(shared)) << "the driver that stays was installed from it too";
    EXPECT_FALSE(drivers::Exists(own));
    EXPECT_EQ(packages.flags, std::vector<DWORD>{0});
}

struct Told {
    journal::Outcome result;
    std::string operation, item, reason;
    DWORD error;
};

const Told* Find(const std::vector<Told>& told, const char* operation, const std::string& item)
{
    const auto found = std::find_if(told.begin(), told.end(), [&](const Told& t) {
        return t.operation == operation && _stricmp(t.item.c_str(), item.c_str()) == 0;
    });
    return found == told.end() ? nullptr : &*found;
}

TEST_F(DriverRemovalTest, ADryRunTakesTheDriverOfAPrinterItWouldDeleteAndKeepsTheOneAStayingPrinterUses)
{
    ASSERT_TRUE(machine.InstallPrinter({"Dry Gone", kLumenta, true}));
    ASSERT_TRUE(machine.InstallPrinter({"Dry Stay", kOther, true}));
    const std::string inf = infs.Put("inf\\oem9301.inf", std::string(kLumenta) + " PCL");
    packages.from[kLumenta] = "oem9301.inf";
    database.Printers = {Record("Dry Gone", kLumenta, 1), Record("Dry Stay", kOther, 0)};
    database.Merged.Drivers = {kLumenta, kOther};
    std::vector<Told> told;
    const auto sink = [&](const journal::Entry& e) { told.push_back({e.Result, e.Operation, e.Item, e.Reason, e.Error}); };
    journal::SetSink(sink);
    DryRunDoor dry;
    RemovalState dryState{dry};
    dryState.Database = &database;
    dryState.Platform = state.Platform;

    RemovePrinters(dryState);
    RemoveEverywhere(dryState);
    journal::Reset();

    EXPECT_TRUE(spooler.Installed(kLumenta));
    EXPECT_TRUE(spooler.Installed(kOther));
    EXPECT_TRUE(drivers::Exists(inf));
    using journal::Outcome;
    namespace op = journal::op;
    // The queue the printer step would delete no longer holds its driver.
    const Told* gone = Find(told, op::kDriver, std::string(kLumenta) + " (Windows x64)");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->result, Outcome::WouldRemove);
    const Told* infTold = Find(told, op::kOemInf, drivers::WindowsDirectory() + "\\INF\\oem9301.inf");
    ASSERT_NE(infTold, nullptr);
    EXPECT_EQ(infTold->result, Outcome::WouldRemove);
    const Told* kept = Find(told, op::kDriver, std::string(kOther) + " (Windows x64)");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->result, Outcome::Kept);
    EXPECT_EQ(kept->reason, "used by printer \"Dry Stay\"");

    // The real run comes out alike, and says what it did.
    told.clear();
    database.Printers = {Record("Dry Gone", kLumenta, 1), Record("Dry Stay", kOther, 0)};
    database.Merged.RegistryKeys.clear();
    journal::SetSink(sink);
    RemovePrinters(state);
    RemoveEverywhere();
    journal::Reset();
    EXPECT_FALSE(spooler.Installed(kLumenta));
    EXPECT_TRUE(spooler.Installed(kOther));
    gone = Find(told, op::kDriver, std::string(kLumenta) + " (Windows x64)");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->result, Outcome::Removed);
    infTold = Find(told, op::kOemInf, drivers::WindowsDirectory() + "\\INF\\oem9301.inf");
    ASSERT_NE(infTold, nullptr);
    EXPECT_EQ(infTold->result, Outcome::Removed);
}

TEST_F(DriverRemovalTest, ADriverTheSpoolerRefusesToDeleteIsToldAsFailedWithTheError)
{
    ASSERT_TRUE(Install(kLumenta));
    database.Merged.Drivers = {kLumenta};
    SplProxyFault_Set("DeletePrinterDriverA", ERROR_ACCESS_DENIED, 1);
    std::vector<Told> told;
    journal::SetSink([&](const journal::Entry& e) { told.push_back({e.Result, e.Operation, e.Item, e.Reason, e.Error}); });

    RemovePrinterDrivers(state, nullptr);
    journal::Reset();

    const Told* refused = Find(told, journal::op::kDriver, std::string(kLumenta) + " (Windows x64)");
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->result, journal::Outcome::Failed);
    EXPECT_EQ(refused->error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(database.Merged.RegistryKeys.empty());
}

} // namespace
