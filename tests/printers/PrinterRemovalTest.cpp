// The printer removal step against real queues of the bed. Jobs, network
// connections, refused opens and refused deletions can't be made on this
// platform (no job can be queued, there is no print server, and registry and
// spooler permissions are not enforced): the test build of the spooler proxy
// stands in for them.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <string>
#include <vector>

#include "door/DryRunDoor.h"
#include "door/RealDoor.h"
#include "SplProxyFaults.h"
#include "machine/Machine.h"
#include "script/MessageBox.h"
#include "spooler/PrinterRemoval.h"
#include "spooler/PrinterTraces.h"
#include "common/Journal.h"
#include "support/JournalCapture.h"
#include "support/OtherUser.h"
#include "support/WineBed.h"
#include "support/VersionRecord.h"

namespace {

constexpr char kDriver[] = "QUORVEL Lumenta 2400";
// Identifiers as the drivers write them: braced, and short enough (at most
// 31 characters) for the value to be read.
constexpr char kIdA[] = "{QRV-5A0E2C11-7D3B-000A}";
constexpr char kIdB[] = "{QRV-5A0E2C11-7D3B-000B}";

const char* const kUserKeys[] = {
    "Printers\\DevModes2",
    "Printers\\Settings",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts",
};

const OSVERSIONINFOA kXp = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 5, 1);

std::string DeviceEntry()
{
    char device[512] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    return device;
}

// The per-user values a printer leaves as the platform's control panel writes them.
void PutUserValues(const std::string& printer)
{
    for (const char* path : kUserKeys) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, printer.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("winspool,FILE:"), 15);
        RegCloseKey(key);
    }
}

int UserValueCount(const std::string& printer)
{
    int found = 0;
    for (const char* path : kUserKeys) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        if (RegQueryValueExA(key, printer.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            ++found;
        RegCloseKey(key);
    }
    return found;
}

void ClearUserValues(const std::string& printer)
{
    for (const char* path : kUserKeys)
        RegDeleteKeyValueA(HKEY_CURRENT_USER, path, printer.c_str());
}

// A key below HKEY_CLASSES_ROOT with `subkeys` direct subkeys, each with a
// value, as a driver's class registration leaves it.
void PutClassKey(const std::string& name, int subkeys)
{
    for (int i = 1; i <= subkeys; ++i) {
        HKEY key = nullptr;
        const std::string path = name + "\\Part" + std::to_string(i);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(key);
    }
}

// -1 when the key is missing, else its number of direct subkeys.
int ClassSubkeys(const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}

bool Listed(const std::string& printer)
{
    const auto all = machine::ListedPrinters();
    return std::find(all.begin(), all.end(), printer) != all.end();
}

DWORD Attributes(const std::string& printer)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, nullptr))
        return 0;
    DWORD needed = 0;
    GetPrinterA(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    DWORD attributes = 0;
    if (needed && GetPrinterA(handle, 2, buffer.data(), needed, &needed))
        attributes = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data())->Attributes;
    ClosePrinter(handle);
    return attributes;
}

// Top-level window that notes the profile-change broadcasts it receives.
struct BroadcastWatch {
    static inline int received = 0;
    static inline bool named = false;
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        // This platform's broadcast doesn't hand the section's text on
        // intact, so only whether one was named is compared.
        if (message == WM_WININICHANGE) {
            ++received;
            named = lParam != 0;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    BroadcastWatch()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PrinterTestBroadcastWatch";
        RegisterClassA(&wc);
        window = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                               nullptr);
        received = 0;
        named = false;
    }
    ~BroadcastWatch() { DestroyWindow(window); }

    HWND window = nullptr;
};

class PrinterRemovalTest : public testing::Test {
protected:
    void SetUp() override
    {
        SplProxyFault_Clear();
        savedDevice = DeviceEntry();
        SetMessageAnswerer([this](const char* text, const char* title, UINT) {
            boxes.push_back(std::string(title) + "|" + text);
            return IDOK;
        });
        database.Merged.RegistryKeys = {"HKLM,\"Software\\QUORVEL\\Lumenta\",\"\""};
    }
    void TearDown() override
    {
        SplProxyFault_Clear();
        SetMessageAnswerer(nullptr);
        for (const std::string& name : printers)
            ClearUserValues(name);
        for (const std::string& key : classKeys)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        machine.Clear();
        WriteProfileStringA("windows", "device", savedDevice.empty() ? nullptr : savedDevice.c_str());
    }

    // A queue of the maker's driver with its per-user values, and its
    // inventory record; chosen ones are taken away by the database build.
    CActivePrinter& Add(const std::string& name, bool chosen, const std::string& uniqueId = {})
    {
        EXPECT_TRUE(machine.InstallPrinter({name, kDriver, true, "", uniqueId}));
        PutUserValues(name);
        printers.push_back(name);
        CActivePrinter record;
        text::CopyWhole(record.PrinterName, name);
        text::CopyWhole(record.DriverName, kDriver);
        record.IsMakerDriver = 1;
        record.Skip = chosen ? 0 : 1;
        record.ToRemove = chosen ? 1 : 0;
        text::CopyWhole(record.UniqueId, uniqueId);
        database.Printers.push_back(record);
        return database.Printers.back();
    }
    CActivePrinter* Record(const std::string& name)
    {
        for (CActivePrinter& p : database.Printers)
            if (name == p.PrinterName)
                return &p;
        return nullptr;
    }
    void Run(const OSVERSIONINFOA& version = kXp) { RunOn(state, version); }
    void RunOn(RemovalState& run, const OSVERSIONINFOA& version = kXp)
    {
        run.Database = &database;
        run.Platform = PlatformKind(&version);
        RemovePrinters(run);
    }
    std::string NewDefaultText(const std::string& name)
    {
        return bed::Ansi("アンインストール|通常使用するプリンタが削除されました。\n '") + name +
               bed::Ansi("' が新たに通常使用するプリンタに設定されました。");
    }

    std::string NoPrinterLeftText()
    {
        return bed::Ansi("アンインストール|警告:通常使用する (デフォルト) プリンタは削除されました。\n"
                         "ご使用のコンピュータにインストールされているプリンタはありません。");
    }

    machine::Machine machine;
    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
    std::vector<std::string> boxes;
    std::vector<std::string> printers;
    std::vector<std::string> classKeys{kIdA, kIdB, "QrvPlainName", "{5A0E2C11}"};
    std::string savedDevice;
};

TEST_F(PrinterRemovalTest, AChosenQueueGoesWithItsJobsClassKeyAndUserValuesAndAStayingOneIsUntouched)
{
    // The last database build decides, not the tick: A goes along with the
    // printer it masks, and B was ticked only after that build.
    Add("Lumenta A", true, kIdA).Skip = 1;
    Add("Lumenta B", false, kIdB).Skip = 0;
    PutClassKey(kIdA, 3);
    PutClassKey(kIdB, 1);
    SplProxyFault_SetJobs("Lumenta A", 150);
    SplProxyFault_SetJobs("Lumenta B", 5);

    const JournalCapture told;
    Run();

    EXPECT_FALSE(Listed("Lumenta A"));
    EXPECT_EQ(Record("Lumenta A")->Removed, 1u);
    EXPECT_EQ(ClassSubkeys(kIdA), -1);
    EXPECT_EQ(UserValueCount("Lumenta A"), 0);
    EXPECT_STREQ(state.CurrentPrinter, "Lumenta A");
    EXPECT_STREQ(state.CurrentDriver, kDriver);

    EXPECT_TRUE(Listed("Lumenta B"));
    EXPECT_EQ(Record("Lumenta B")->Removed, 0u);
    EXPECT_EQ(ClassSubkeys(kIdB), 1);
    EXPECT_EQ(UserValueCount("Lumenta B"), 4);

    // Of 150 jobs, the first 100 the queue reports (ids 7001 upwards), each
    // deleted once (deleting cancels it too; on NT a job cancelled first is
    // gone before its deletion); none of the staying queue's. Each is told
    // removed, none failed.
    std::vector<DWORD> calls(2 * 400);
    const LONG count = SplProxyFault_SetJobCalls(calls.data(), 400);
    ASSERT_EQ(count, 100);
    for (DWORD i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[2 * i], 7001 + i);
        EXPECT_EQ(calls[2 * i + 1], static_cast<DWORD>(JOB_CONTROL_DELETE));
    }
    int removedJobs = 0;
    for (const JournalCapture::Line& line : told.lines) {
        if (line.operation == journal::op::kJob) {
            EXPECT_EQ(line.result, journal::Outcome::Removed) << line.item << " error " << line.error;
            ++removedJobs;
        }
    }
    EXPECT_EQ(removedJobs, 100);
    EXPECT_TRUE(boxes.empty()) << "no default printer was removed";
}

// Another user who printed has the queue's values in a hive of their own:
// they go with the queue, the values of the queue that stays stay, and
// their default printer moves to that queue as the current user's would.
TEST_F(PrinterRemovalTest, AnotherUsersValuesOfTheQueueGoAndTheirDefaultMovesToTheQueueThatStays)
{
    Add("Lumenta A", true, kIdA);
    Add("Lumenta B", false, kIdB);
    bed::OtherUser other;
    for (const char* path : kUserKeys) {
        ASSERT_TRUE(other.SetValue(path, "Lumenta A", "winspool,FILE:"));
        ASSERT_TRUE(other.SetValue(path, "Lumenta B", "winspool,FILE:"));
    }
    // Their default printer is the queue that goes.
    constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    ASSERT_TRUE(other.SetValue(kWindowsKey, "Device", "Lumenta A,winspool,Ne01:"));
    ASSERT_TRUE(other.Save());
    ASSERT_TRUE(other.LogOn());

    const JournalCapture told;

    Run();

    EXPECT_FALSE(Listed("Lumenta A"));
    char device[MAX_PATH] = {};
    DWORD size = sizeof device;
    RegGetValueA(HKEY_USERS, (std::string(bed::OtherUser::kSid) + "\\" + kWindowsKey).c_str(), "Device",
                 RRF_RT_REG_SZ, nullptr, device, &size);
    EXPECT_STREQ(device, "Lumenta B,winspool,FILE:") << "the queue that stays, as Windows names a default";
    for (const char* path : kUserKeys) {
        EXPECT_FALSE(other.ValueThere(path, "Lumenta A")) << path;
        EXPECT_TRUE(other.ValueThere(path, "Lumenta B")) << path;
        const std::string item = std::string("HKU\\") + bed::OtherUser::kSid + "\\" + path + "\\Lumenta A";
        EXPECT_TRUE(told.Only(journal::op::kPrinterTrace, item, journal::Outcome::Removed)) << told.Dump();
    }
}

TEST_F(PrinterRemovalTest, RemovingTheDefaultMakesTheLaterOfTwoStayingPrintersTheDefault)
{
    Add("Keep 1", false);
    Add("Gone D", true).IsDefault = 1;
    Add("Keep 2", false);
    const BroadcastWatch watch;

    Run();

    EXPECT_FALSE(Listed("Gone D"));
    EXPECT_EQ(DeviceEntry(), "Keep 2,winspool,FILE:");
    EXPECT_EQ(Attributes("Keep 1") & PRINTER_ATTRIBUTE_DEFAULT, 0u);
    EXPECT_EQ(Record("Keep 1")->IsDefault, 0u);
    EXPECT_EQ(Record("Gone D")->IsDefault, 0u);
    EXPECT_EQ(Record("Keep 2")->IsDefault, 1u);
    EXPECT_EQ(BroadcastWatch::received, 1);
    EXPECT_FALSE(BroadcastWatch::named);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NewDefaultText("Keep 2"));
}

// A connection that stays can become the default although its server lets
// no local administrator manage it (the proxy refuses the managing open); a
// printer an earlier removal of the session took away can't, and when the
// platform does not take the new default, the user is not told of one.
TEST_F(PrinterRemovalTest, TheNewDefaultIsAPrinterInstalledNowAndIsAnnouncedOnlyOnceItIsSet)
{
    Add("Gone D", true).IsDefault = 1;
    CActivePrinter& shared = Add("Shared S", false);
    text::CopyWhole(shared.ServerName, "\\\\PRINTSRV");
    SplProxyFault_SetServerName("Shared S", "\\\\PRINTSRV");
    SplProxyFault_Set("OpenPrinterA:Shared S", ERROR_ACCESS_DENIED, -1);

    Run();

    EXPECT_EQ(DeviceEntry().rfind("Shared S,", 0), 0u) << DeviceEntry();
    EXPECT_EQ(Record("Shared S")->IsDefault, 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NewDefaultText("Shared S"));

    SCOPED_TRACE("a second removal: the printer the first took away is listed last");
    boxes.clear();
    CActivePrinter& second = Add("Gone E", true);
    second.IsDefault = 1;
    CActivePrinter earlier = *Record("Gone D");
    database.Printers.push_back(earlier);
    ASSERT_EQ(earlier.Removed, 1u);

    Run();

    EXPECT_EQ(DeviceEntry().rfind("Shared S,", 0), 0u) << DeviceEntry();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NewDefaultText("Shared S"));

    SCOPED_TRACE("the platform refuses the new default");
    boxes.clear();
    WriteProfileStringA("windows", "device", "Elsewhere,winspool,FILE:");
    Add("Gone F", true).IsDefault = 1;
    // This platform refuses a default that the user's Devices key doesn't name.
    ClearUserValues("Shared S");

    Run();

    EXPECT_EQ(DeviceEntry(), "Elsewhere,winspool,FILE:");
    EXPECT_EQ(Record("Shared S")->IsDefault, 1u) << "unchanged";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NoPrinterLeftText());
}

TEST_F(PrinterRemovalTest, ARemovedDefaultConnectionWithNoPrinterLeftGoesWithItsConnectionAlone)
{
    // The queue stands in for a printer of another computer: the proxy
    // reports it shared and removes its connection.
    CActivePrinter& shared = Add("Shared C", true, kIdA);
    PutClassKey(kIdA, 1);
    text::CopyWhole(shared.ServerName, "\\\\PRINTSRV");
    shared.IsDefault = 1;
    SplProxyFault_SetServerName("Shared C", "\\\\PRINTSRV");
    SplProxyFault_SetJobs("Shared C", 3);
    // Another user has a connection of their own to it, their default.
    bed::OtherUser other;
    ASSERT_TRUE(other.SetValue("Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device",
                               "Shared C,winspool,Ne01:"));
    ASSERT_TRUE(other.Save());
    ASSERT_TRUE(other.LogOn());
    const auto Device = [&] {
        static char device[MAX_PATH];
        DWORD size = sizeof device;
        device[0] = '\0';
        RegGetValueA(HKEY_USERS,
                     (std::string(bed::OtherUser::kSid) + "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows")
                         .c_str(),
                     "Device", RRF_RT_REG_SZ, nullptr, device, &size);
        return static_cast<const char*>(device);
    };

    Run();

    EXPECT_EQ(shared.Removed, 1u);
    EXPECT_STREQ(Device(), "Shared C,winspool,Ne01:")
        << "another user's default stays: their own connection is not the one removed";
    EXPECT_EQ(SplProxyFault_CallCount("DeletePrinterConnectionA"), 1);
    EXPECT_EQ(SplProxyFault_CallCount("OpenPrinterA"), 0);
    EXPECT_EQ(SplProxyFault_CallCount("DeletePrinter"), 0);
    EXPECT_EQ(SplProxyFault_SetJobCalls(nullptr, 0), 0);
    EXPECT_EQ(ClassSubkeys(kIdA), 1);
    EXPECT_EQ(UserValueCount("Shared C"), 4);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NoPrinterLeftText());
}

// Another user's own connection to the printer whose connection goes goes
// too, and their default that named it with it: no queue of this computer
// is left to take its place.
TEST_F(PrinterRemovalTest, AnotherUsersConnectionToTheRemovedConnectionsPrinterGoesWithTheirDefault)
{
    CActivePrinter& shared = Add("Shared C", true, kIdA);
    text::CopyWhole(shared.ServerName, "\\\\PRINTSRV");
    SplProxyFault_SetServerName("Shared C", "\\\\PRINTSRV");
    constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    bed::OtherUser other;
    ASSERT_TRUE(other.MakeKey("Printers\\Connections\\,,PRINTSRV,Shared C"));
    ASSERT_TRUE(other.MakeKey("Printers\\Connections\\,,PRINTSRV,Other D"));
    ASSERT_TRUE(other.SetValue(kWindowsKey, "Device", "\\\\PRINTSRV\\Shared C,winspool,Ne02:"));
    ASSERT_TRUE(other.Save());
    ASSERT_TRUE(other.LogOn());

    Run();

    EXPECT_EQ(shared.Removed, 1u);
    EXPECT_FALSE(other.KeyThere("Printers\\Connections\\,,PRINTSRV,Shared C"));
    EXPECT_TRUE(other.KeyThere("Printers\\Connections\\,,PRINTSRV,Other D"));
    EXPECT_FALSE(other.ValueThere(kWindowsKey, "Device"));
}

TEST_F(PrinterRemovalTest, OnlyAQueueTheSpoolerNoLongerKnowsCountsAsRemovedWithoutDeletion)
{
    Add("Gone D", true).IsDefault = 1;
    // Access denied: the queue is there and keeps its settings.
    Add("Refused", true);
    SplProxyFault_DenyPrinter("Refused", ERROR_ACCESS_DENIED);
    // The spooler no longer knows the name: nothing left but the traces.
    Add("Vanished", true);
    SplProxyFault_DenyPrinter("Vanished", ERROR_INVALID_PRINTER_NAME);
    // Opened, but its deletion refused (the second DeletePrinter of the run).
    Add("Stuck", true);
    SplProxyFault_SetAfter("DeletePrinter", ERROR_ACCESS_DENIED, 1, 1);

    Run();

    EXPECT_EQ(Record("Gone D")->Removed, 1u);
    EXPECT_EQ(Record("Refused")->Removed, 0u);
    EXPECT_EQ(UserValueCount("Refused"), 4);
    EXPECT_EQ(Record("Vanished")->Removed, 1u);
    EXPECT_EQ(UserValueCount("Vanished"), 0);
    EXPECT_EQ(Record("Stuck")->Removed, 0u);
    EXPECT_TRUE(Listed("Stuck"));
    EXPECT_EQ(UserValueCount("Stuck"), 4);
    EXPECT_EQ(SplProxyFault_CallCount("DeletePrinter"), 2) << "no deletion without an open queue";

    // The queues still there stay; the later one becomes the default.
    EXPECT_EQ(DeviceEntry(), "Stuck,winspool,FILE:");
    EXPECT_EQ(Record("Stuck")->IsDefault, 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NewDefaultText("Stuck"));
}

TEST_F(PrinterRemovalTest, TheUniqueIdNamesAKeyOnlyAsABracedIdentifier)
{
    EXPECT_TRUE(IsBracedIdentifier(kIdA));
    EXPECT_TRUE(IsBracedIdentifier("{QRV-0002}"));
    for (const char* other : {"", "CLSID", "{}", "{5A0E2C11", "5A0E2C11}", "{5A0E2C11}\\Part1", "{a\\b}"}) {
        SCOPED_TRACE(other);
        EXPECT_FALSE(IsBracedIdentifier(other));
    }

    // Against the registry: a plain class name and a path below a braced one.
    Add("Plain", true, "QrvPlainName");
    Add("Pathed", true, "{5A0E2C11}\\Part1");
    PutClassKey("QrvPlainName", 2);
    PutClassKey("{5A0E2C11}\\Part1", 2);

    Run();

    EXPECT_FALSE(Listed("Plain"));
    EXPECT_FALSE(Listed("Pathed"));
    EXPECT_EQ(ClassSubkeys("QrvPlainName"), 2);
    EXPECT_EQ(ClassSubkeys("{5A0E2C11}\\Part1"), 2);
}

TEST_F(PrinterRemovalTest, AClassKeyThatAStayingQueueAlsoNamesStays)
{
    Add("Copy Goes", true, kIdA);
    Add("Copy Stays", false, kIdA);
    PutClassKey(kIdA, 2);

    Run();

    EXPECT_FALSE(Listed("Copy Goes"));
    EXPECT_TRUE(Listed("Copy Stays"));
    EXPECT_EQ(ClassSubkeys(kIdA), 2) << "the queue that stays still has its identifier";
}

TEST_F(PrinterRemovalTest, SubkeysThatCannotGoKeepTheClassKey)
{
    Add("Lumenta A", true, kIdA);
    PutClassKey(kIdA, 3);
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>("Lumenta A"), &handle, &access));
    // The first subkey goes; every deletion after it is refused, the retry
    // with an open access list too.
    SplProxyFault_SetAfter("RegDeleteKeyA", ERROR_ACCESS_DENIED, 1, -1);

    char id[33];
    ASSERT_TRUE(ReadUniqueId(handle, id));
    RemoveUniqueIdKey(state, id);
    SplProxyFault_Clear();
    ClosePrinter(handle);

    EXPECT_EQ(ClassSubkeys(kIdA), 2);
}

// Each platform class: the traces, the default printer's profile entry and
// attribute, and the broadcast that tells the windows.
TEST_F(PrinterRemovalTest, EveryPlatformClassRemovesItsTracesAndTellsOfTheNewDefaultItsWay)
{
    struct Row {
        const char* name;
        OSVERSIONINFOA version;
        int userValuesLeft;
        bool win9xItems;
        const char* device; // nullptr: the entry is not written
        int broadcasts;
        bool sectionNamed;
    };
    // This platform's DeletePrinter takes the Devices and PrinterPorts
    // values itself; the settings and device modes stay unless removed.
    const Row rows[] = {
        {"Win32s", bed::VersionRecord(VER_PLATFORM_WIN32s, 3, 11), 2, false, "Lumenta B,LUMENTA,FILE:", 1, false},
        {"Windows 95", bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 0), 2, true, nullptr, 1, true},
        {"Windows Me", bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 90), 2, true, nullptr, 1, true},
        {"NT 4.0", bed::VersionRecord(VER_PLATFORM_WIN32_NT, 4, 0), 0, false, "Lumenta B,winspool,FILE:", 1, false},
        {"no class", bed::VersionRecord(3, 10, 0), 2, false, "Lumenta B,winprint,FILE:", 0, false},
    };
    machine::Driver driver(kDriver);
    driver.driverFile = "LUMENTA.DLL";
    ASSERT_TRUE(machine.InstallDriver(driver));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        database.Printers.clear();
        database.Merged.RegistryKeys = {"HKLM,\"Software\\QUORVEL\\Lumenta\",\"\""};
        boxes.clear();
        WriteProfileStringA("windows", "device", "Elsewhere,winspool,FILE:");
        Add("Lumenta A", true).IsDefault = 1;
        Add("Lumenta C", true);
        Add("Lumenta B", false);
        const BroadcastWatch watch;

        Run(row.version);

        EXPECT_FALSE(Listed("Lumenta A"));
        EXPECT_EQ(UserValueCount("Lumenta A"), row.userValuesLeft);
        EXPECT_EQ(UserValueCount("Lumenta B"), 4);
        ItemList expected{"HKLM,\"Software\\QUORVEL\\Lumenta\",\"\""};
        if (row.win9xItems) {
            for (const char* name : {"Lumenta A", "Lumenta C"}) {
                expected.push_back(std::string("HKLM,\"System\\CurrentControlSet\\control\\Print\\Printers\\") +
                                   name + "\\PrinterDriverData,\"\"");
                expected.push_back(std::string("HKLM,\"System\\CurrentControlSet\\control\\Print\\Printers\\") +
                                   name + ",\"\"");
            }
        }
        EXPECT_EQ(database.Merged.RegistryKeys, expected);
        EXPECT_EQ(DeviceEntry(), row.device ? row.device : "Elsewhere,winspool,FILE:");
        // NT keeps the default itself (the device entry above); before it,
        // the queue's attribute says so.
        if (!PlatformKind(&row.version).isNT()) {
            EXPECT_NE(Attributes("Lumenta B") & PRINTER_ATTRIBUTE_DEFAULT, 0u);
        }
        EXPECT_EQ(Record("Lumenta B")->IsDefault, 1u);
        EXPECT_EQ(BroadcastWatch::received, row.broadcasts);
        EXPECT_EQ(BroadcastWatch::named, row.sectionNamed);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], NewDefaultText("Lumenta B"));

        for (const std::string& name : printers)
            ClearUserValues(name);
        printers.clear();
        machine.Clear();
        ASSERT_TRUE(machine.InstallDriver(driver));
    }
}

// What the journal was told, copied out of the entries.
struct Told {
    journal::Outcome result;
    std::string operation, item, reason;
    DWORD error;
};

bool Holds(const std::vector<Told>& told, journal::Outcome result, const char* operation, const std::string& item,
           const std::string& reason = {})
{
    return std::any_of(told.begin(), told.end(), [&](const Told& t) {
        return t.result == result && t.operation == operation && t.item == item &&
               (reason.empty() || t.reason == reason);
    });
}

TEST_F(PrinterRemovalTest, ADryRunChangesNoQueueButDecidesTheNewDefaultAsTheRemovalWould)
{
    Add("Keep 1", false);
    Add("Gone D", true, kIdA).IsDefault = 1;
    PutClassKey(kIdA, 2);
    SplProxyFault_SetJobs("Gone D", 3);
    Add("Gone E", true);
    const std::string deviceBefore = DeviceEntry();
    std::vector<Told> told;
    journal::SetSink([&](const journal::Entry& e) {
        told.push_back({e.Result, e.Operation, e.Item, e.Reason, e.Error});
    });
    DryRunDoor dry;
    RemovalState dryState{dry};

    RunOn(dryState);
    journal::Reset();

    EXPECT_TRUE(Listed("Gone D"));
    EXPECT_TRUE(Listed("Gone E"));
    EXPECT_EQ(ClassSubkeys(kIdA), 2);
    EXPECT_EQ(UserValueCount("Gone D"), 4);
    EXPECT_EQ(SplProxyFault_SetJobCalls(nullptr, 0), 0);
    EXPECT_EQ(SplProxyFault_CallCount("DeletePrinter"), 0);
    EXPECT_EQ(DeviceEntry(), deviceBefore);
    EXPECT_EQ(Attributes("Keep 1") & PRINTER_ATTRIBUTE_DEFAULT, 0u);

    using journal::Outcome;
    namespace op = journal::op;
    EXPECT_TRUE(Holds(told, Outcome::WouldRemove, op::kPrinter, "Gone D"));
    EXPECT_TRUE(Holds(told, Outcome::WouldRemove, op::kPrinter, "Gone E"));
    EXPECT_FALSE(Holds(told, Outcome::WouldRemove, op::kPrinter, "Keep 1"));
    EXPECT_EQ(std::count_if(told.begin(), told.end(),
                            [](const Told& t) { return t.result == Outcome::WouldRemove && t.operation == op::kJob; }),
              3);
    EXPECT_TRUE(Holds(told, Outcome::WouldRemove, op::kPrinterTrace, std::string("HKCR\\") + kIdA));
    EXPECT_TRUE(Holds(told, Outcome::WouldRemove, op::kPrinterTrace, "HKCU\\Printers\\Settings\\Gone D"));
    // The printers it would delete count as gone: the one that stays becomes the default.
    EXPECT_TRUE(Holds(told, Outcome::WouldChange, op::kDefaultPrinter, "Keep 1", "set as default"));
    EXPECT_EQ(Record("Gone D")->Removed, 1u);
    EXPECT_EQ(Record("Keep 1")->IsDefault, 1u);
    for (const Told& t : told)
        EXPECT_NE(t.result, Outcome::Removed) << t.operation << " " << t.item;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NewDefaultText("Keep 1"));
}

TEST_F(PrinterRemovalTest, ARealRunTellsWhatWentWhatWasNoLongerThereAndWhatFailed)
{
    Add("Gone D", true);
    Add("Vanished", true);
    SplProxyFault_DenyPrinter("Vanished", ERROR_INVALID_PRINTER_NAME);
    Add("Refused", true);
    SplProxyFault_DenyPrinter("Refused", ERROR_ACCESS_DENIED);
    std::vector<Told> told;
    journal::SetSink([&](const journal::Entry& e) {
        told.push_back({e.Result, e.Operation, e.Item, e.Reason, e.Error});
    });

    Run();
    journal::Reset();

    using journal::Outcome;
    namespace op = journal::op;
    EXPECT_TRUE(Holds(told, Outcome::Removed, op::kPrinter, "Gone D"));
    EXPECT_TRUE(Holds(told, Outcome::NotPresent, op::kPrinter, "Vanished"));
    const auto refused = std::find_if(told.begin(), told.end(), [](const Told& t) { return t.item == "Refused"; });
    ASSERT_NE(refused, told.end());
    EXPECT_EQ(refused->result, Outcome::Failed);
    EXPECT_EQ(refused->error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(Holds(told, Outcome::WouldRemove, op::kPrinter, "Gone D"));
}

} // namespace
