// Monitors, print processors and services against the bed's real spooler,
// registry and service manager. A printer record that can't be changed and a
// monitor the spooler refuses to delete come from the test build of the
// spooler proxy.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "door/DryRunDoor.h"
#include "door/RealDoor.h"
#include "SplProxyFaults.h"
#include "spooler/MonitorRemoval.h"
#include "spooler/PrintProcessorRemoval.h"
#include "spooler/ServiceRemoval.h"
#include "system/FileProtection.h"
#include "system/RegistryRemoval.h"
#include "system/WindowsServices.h"
#include "machine/Machine.h"
#include "common/ServiceHandle.h"
#include "door/SpoolerService.h"
#include "common/Journal.h"
#include "support/WineBed.h"
#include "support/VersionRecord.h"

namespace {

const char* const kStepEnvironments[] = {nullptr, "Windows NT x86", "Windows 4.0"};

const OSVERSIONINFOA kWindows7 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1);
const OSVERSIONINFOA kWindows98 = bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
const OSVERSIONINFOA kWin32s = bed::VersionRecord(VER_PLATFORM_WIN32s, 3, 11);

void MakeKey(const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

struct Told {
    journal::Outcome result;
    std::string operation, item, reason;
};

class SpoolerSideTest : public testing::Test {
protected:
    void SetUp() override { SplProxyFault_Clear(); }
    void TearDown() override
    {
        SplProxyFault_Clear();
        machine.Clear();
    }
    void On(const OSVERSIONINFOA& version)
    {
        for (RemovalState* run : {&state, &dryState}) {
            run->Database = &database;
            run->Platform = PlatformKind(&version);
        }
        database.RestartRequired = 0;
    }
    // The state the next run works on: the real run's, or a dry run's.
    RemovalState& Active() { return dryRun ? dryState : state; }

    // The journal's entries for one run of `run`, in a dry run when asked,
    // after the printer a dry run's printer step took away.
    template <typename Run>
    std::vector<Told> Journaled(bool dry, Run run, const char* alreadyGonePrinter = nullptr)
    {
        std::vector<Told> told;
        journal::SetSink([&](const journal::Entry& e) { told.push_back({e.Result, e.Operation, e.Item, e.Reason}); });
        dryRun = dry;
        if (alreadyGonePrinter)
            dryDoor.DeletePrinter(nullptr, alreadyGonePrinter);
        run();
        dryRun = false;
        journal::Reset();
        return told;
    }

    machine::Machine machine;
    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
    DryRunDoor dryDoor;
    RemovalState dryState{dryDoor};
    bool dryRun = false;
};

// ---------------------------------------------------------------- processors

constexpr char kProcessor[] = "QrvSideProc";
constexpr char kDriver[] = "QUORVEL Lumenta 2400";
const std::string kNtProcessorKey =
    std::string("System\\CurrentControlSet\\control\\Print\\Environments\\Windows NT x86\\Print Processors\\") +
    kProcessor;
const std::string k9xProcessorKey =
    std::string("System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Print Processors\\") +
    kProcessor;

const std::string kOwnProcessorKey =
    std::string("System\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\") +
    kProcessor;

bool ProcessorListed(const char* name)
{
    DWORD needed = 0, returned = 0;
    EnumPrintProcessorsA(nullptr, nullptr, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPrintProcessorsA(nullptr, nullptr, 1, buffer.data(), needed, &needed, &returned))
        return false;
    const auto* info = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        if (lstrcmpiA(info[i].pName, name) == 0)
            return true;
    }
    return false;
}

// The printer's processor and data type as its level-2 record reports them.
std::pair<std::string, std::string> ProcessorOf(const std::string& printer)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, nullptr))
        return {};
    DWORD needed = 0;
    GetPrinterA(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    std::pair<std::string, std::string> result;
    if (needed && GetPrinterA(handle, 2, buffer.data(), needed, &needed)) {
        const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
        result = {info->pPrintProcessor ? info->pPrintProcessor : "", info->pDatatype ? info->pDatatype : ""};
    }
    ClosePrinter(handle);
    return result;
}

std::string Lower(std::string s)
{
    CharLowerA(s.data());
    return s;
}

// The platform's spooler only pretends to delete a print processor: that the
// removal asked for it is read from the proxy's count of the calls.
class PrintProcessorTest : public SpoolerSideTest {
protected:
    void SetUp() override
    {
        SpoolerSideTest::SetUp();
        char directory[MAX_PATH] = {};
        DWORD needed = 0;
        ASSERT_TRUE(GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory),
                                                sizeof directory, &needed));
        file = std::string(directory) + "\\qrvsideproc.dll";
        ASSERT_TRUE(bed::WriteFile(file, "MZ"));
    }
    void TearDown() override
    {
        SpoolerSideTest::TearDown();
        // This platform's spooler answers a deletion without making it; it
        // lists the processors its registry holds.
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOwnProcessorKey.c_str());
        // The bed's other tests need the built-in processor.
        if (!ProcessorListed("winprint"))
            AddPrintProcessorA(nullptr, nullptr, const_cast<char*>("winprint.dll"), const_cast<char*>("winprint"));
        DeleteFileA(file.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kNtProcessorKey.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, k9xProcessorKey.c_str());
    }
    void AddProcessor()
    {
        ASSERT_TRUE(AddPrintProcessorA(nullptr, nullptr, const_cast<char*>("qrvsideproc.dll"),
                                       const_cast<char*>(kProcessor)))
            << GetLastError();
        ASSERT_TRUE(ProcessorListed(kProcessor));
        MakeKey(kNtProcessorKey);
        MakeKey(k9xProcessorKey);
    }
    // A queue of the maker's driver that prints through `processor` with a
    // data type other than the built-in one's.
    void AddPrinterOn(const std::string& name, const char* processor)
    {
        ASSERT_TRUE(machine.InstallPrinter({name, kDriver}));
        HANDLE handle = nullptr;
        PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterA(const_cast<char*>(name.c_str()), &handle, &defaults));
        DWORD needed = 0;
        GetPrinterA(handle, 2, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        ASSERT_TRUE(GetPrinterA(handle, 2, buffer.data(), needed, &needed));
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
        info->pPrintProcessor = const_cast<char*>(processor);
        info->pDatatype = const_cast<char*>("NT EMF 1.008");
        EXPECT_TRUE(SetPrinterA(handle, 2, buffer.data(), 0)) << GetLastError();
        ClosePrinter(handle);
        ASSERT_EQ(ProcessorOf(name), std::make_pair(std::string(processor), std::string("NT EMF 1.008")));
    }
    void Run()
    {
        for (const char* environment : kStepEnvironments)
            RemovePrintProcessors(Active(), environment);
    }

    std::string file;
};

TEST_F(PrintProcessorTest, AUsedProcessorGoesAfterItsPrintersMovedToTheBuiltInOneWhichStaysThoughListed)
{
    AddProcessor();
    AddPrinterOn("Side A", kProcessor);
    AddPrinterOn("Side B", kProcessor);
    AddPrinterOn("Side C", "winprint");
    database.Merged.PrintProcessors = {"qrvsideproc", "WINPRINT"};
    On(kWindows7);

    Run();

    EXPECT_EQ(SplProxyFault_CallCount("DeletePrintProcessorA"), 1) << "only the processor of the script";
    EXPECT_FALSE(bed::MachineKeyExists(kOwnProcessorKey));
    EXPECT_TRUE(bed::MachineKeyExists(kNtProcessorKey)) << "the x86 environment's key belongs to its own pass";
    EXPECT_TRUE(bed::MachineKeyExists(k9xProcessorKey)) << "not a key of this platform";
    for (const char* name : {"Side A", "Side B"}) {
        SCOPED_TRACE(name);
        const auto [processor, datatype] = ProcessorOf(name);
        EXPECT_EQ(Lower(processor), "winprint");
        EXPECT_EQ(datatype, "RAW");
    }
    EXPECT_TRUE(ProcessorListed("winprint"));
    EXPECT_EQ(Lower(ProcessorOf("Side C").first), "winprint");
}

TEST_F(PrintProcessorTest, AProcessorAnUnchangeablePrinterStillUsesStaysAndTheOthersAreMoved)
{
    AddProcessor();
    AddPrinterOn("Side A", kProcessor);
    AddPrinterOn("Side B", kProcessor);
    database.Merged.PrintProcessors = {kProcessor};
    On(kWindows7);
    // Printers come in name order: the first change asked for is Side A's.
    SplProxyFault_SetAfter("SetPrinterA", ERROR_ACCESS_DENIED, 0, 1);

    Run();

    EXPECT_EQ(SplProxyFault_CallCount("DeletePrintProcessorA"), 0);
    EXPECT_TRUE(bed::MachineKeyExists(kOwnProcessorKey));
    EXPECT_EQ(ProcessorOf("Side A"), std::make_pair(std::string(kProcessor), std::string("NT EMF 1.008")));
    const auto [processor, datatype] = ProcessorOf("Side B");
    EXPECT_EQ(Lower(processor), "winprint");
    EXPECT_EQ(datatype, "RAW");
}

TEST_F(PrintProcessorTest, AnUnusedListedProcessorGoesAtOnceWithTheKeyOfItsPlatform)
{
    struct Case {
        const char* name;
        OSVERSIONINFOA version;
        bool ntKeyGoes, win9xKeyGoes;
    };
    const Case cases[] = {
        {"NT", kWindows7, true, false},
        {"Windows 98", kWindows98, false, true},
        {"Win32s", kWin32s, false, false},
    };
    database.Merged.PrintProcessors = {kProcessor};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddProcessor();
        SplProxyFault_Clear();
        On(c.version);

        Run();

        EXPECT_EQ(SplProxyFault_CallCount("DeletePrintProcessorA"), 1);
        EXPECT_EQ(bed::MachineKeyExists(kOwnProcessorKey), !c.ntKeyGoes);
        EXPECT_EQ(bed::MachineKeyExists(k9xProcessorKey), !c.win9xKeyGoes);
    }

    // A processor the spooler refuses to delete keeps its key.
    AddProcessor();
    SplProxyFault_Clear();
    SplProxyFault_Set("DeletePrintProcessorA", ERROR_ACCESS_DENIED, -1);
    On(kWindows7);
    Run();
    EXPECT_TRUE(bed::MachineKeyExists(kOwnProcessorKey));
}

// ------------------------------------------------------------------ monitors

const std::string kMonitorsKey = "System\\CurrentControlSet\\control\\Print\\Monitors\\";

// The monitor that serves a port, as the platform's spooler reports it.
std::string MonitorOfPort(const char* port)
{
    DWORD needed = 0, returned = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned))
        return {};
    const auto* info = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        if (info[i].pPortName && lstrcmpiA(info[i].pPortName, port) == 0 && info[i].pMonitorName)
            return info[i].pMonitorName;
    }
    return {};
}

// This platform's spooler deletes a monitor's key itself, in use or not:
// where the test is about the program's own key deletion, the spooler is
// made to answer as for an unknown monitor instead.
class MonitorTest : public SpoolerSideTest {
protected:
    void TearDown() override
    {
        SpoolerSideTest::TearDown();
        for (const std::string& made : madeKeys)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kMonitorsKey + made).c_str());
    }
    // Only a key that wasn't there is the test's to take away again: the
    // platform's own monitors serve the other tests' printers.
    void MakeMonitorKey(const std::string& name)
    {
        if (bed::MachineKeyExists(kMonitorsKey + name))
            return;
        MakeKey(kMonitorsKey + name);
        madeKeys.push_back(name);
    }
    void Run()
    {
        for (const char* environment : kStepEnvironments)
            RemoveMonitors(Active(), environment);
    }

    std::vector<std::string> madeKeys;
};

TEST_F(MonitorTest, AListedMonitorIsAskedForInEveryEnvironmentAndItsKeyGoesExceptOnWin32s)
{
    struct Case {
        const char* name;
        OSVERSIONINFOA version;
        bool keyGoes;
    };
    const Case cases[] = {
        {"NT", kWindows7, true},
        {"Windows 98", kWindows98, true},
        {"Win32s", kWin32s, false},
    };
    database.Merged.Monitors = {"Qrv Side Monitor"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeMonitorKey("Qrv Side Monitor");
        SplProxyFault_Clear();
        SplProxyFault_Set("DeleteMonitorA", ERROR_UNKNOWN_PRINT_MONITOR, -1);
        On(c.version);

        Run();

        EXPECT_EQ(SplProxyFault_CallCount("DeleteMonitorA"), 3);
        EXPECT_EQ(bed::MachineKeyExists(kMonitorsKey + "Qrv Side Monitor"), !c.keyGoes);
    }
}

TEST_F(MonitorTest, AMonitorAPrinterPortUsesOrTheSpoolerRefusesAsInUseKeepsItsKey)
{
    ASSERT_TRUE(machine.InstallPrinter({"Side Port", kDriver}));
    const std::string fileMonitor = MonitorOfPort("FILE:");
    ASSERT_FALSE(fileMonitor.empty());
    // Named as the spooler names the monitor; the platform's own key may be
    // named otherwise and is never touched here.
    MakeMonitorKey(fileMonitor);
    MakeMonitorKey("Qrv Idle Monitor");
    database.Merged.Monitors = {fileMonitor, "Qrv Idle Monitor"};
    On(kWindows7);

    Run();

    EXPECT_TRUE(bed::MachineKeyExists(kMonitorsKey + fileMonitor)) << "the port of Side Port is served by it";
    EXPECT_EQ(SplProxyFault_CallCount("DeleteMonitorA"), 3) << "asked for the idle monitor only, once a pass";
    EXPECT_FALSE(bed::MachineKeyExists(kMonitorsKey + "Qrv Idle Monitor"));

    SCOPED_TRACE("refused as in use");
    MakeMonitorKey("Qrv Busy Monitor");
    database.Merged.Monitors = {"Qrv Busy Monitor"};
    SplProxyFault_Set("DeleteMonitorA", ERROR_PRINT_MONITOR_IN_USE, -1);

    Run();

    EXPECT_TRUE(bed::MachineKeyExists(kMonitorsKey + "Qrv Busy Monitor"));
}

const Told* Find(const std::vector<Told>& told, const char* operation, const std::string& item)
{
    for (const Told& t : told) {
        if (t.operation == operation && t.item == item)
            return &t;
    }
    return nullptr;
}

TEST_F(MonitorTest, ADryRunKeepsTheMonitorOfAStayingPrintersPortAndTakesItOnceThatPrinterWouldGo)
{
    ASSERT_TRUE(machine.InstallPrinter({"Side Port", kDriver}));
    const std::string fileMonitor = MonitorOfPort("FILE:");
    ASSERT_FALSE(fileMonitor.empty());
    MakeMonitorKey(fileMonitor);
    database.Merged.Monitors = {fileMonitor};
    On(kWindows7);

    std::vector<Told> told = Journaled(true, [&] { Run(); });
    const Told* kept = Find(told, journal::op::kMonitor, fileMonitor + " (Windows x64)");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->result, journal::Outcome::Kept);
    EXPECT_EQ(kept->reason, "in use by port \"FILE:\" of printer \"Side Port\"");

    told = Journaled(true, [&] { Run(); }, "Side Port");
    const Told* gone = Find(told, journal::op::kMonitor, fileMonitor + " (Windows x64)");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->result, journal::Outcome::WouldRemove);
    EXPECT_EQ(SplProxyFault_CallCount("DeleteMonitorA"), 0);
    EXPECT_TRUE(bed::MachineKeyExists(kMonitorsKey + fileMonitor));
}

// ------------------------------------------------------------------ services

// Stops the service if it runs, and removes it.
void StopAndDelete(const char* name)
{
    ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    ServiceHandle service{OpenServiceA(manager.Get(), name, SERVICE_ALL_ACCESS)};
    if (!service)
        return;
    SERVICE_STATUS status{};
    ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
    bed::WaitFor(
        [&] { return QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOPPED; }, 5000);
    DeleteService(service.Get());
}

bool ServiceExists(const char* name)
{
    ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)};
    ServiceHandle service{OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS)};
    return static_cast<bool>(service) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

// A service that is gone, or only waits for its last handle or its stop.
bool ServiceGoing(const char* name)
{
    ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)};
    ServiceHandle service{OpenServiceA(manager.Get(), name, SERVICE_QUERY_CONFIG)};
    if (!service)
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
    // A second request tells whether the first one marked it.
    ServiceHandle again{OpenServiceA(manager.Get(), name, DELETE)};
    return again && !DeleteService(again.Get()) && GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

class ServiceTest : public SpoolerSideTest {
protected:
    void TearDown() override
    {
        SpoolerSideTest::TearDown();
        UseServiceAsSpooler(nullptr);
        SetProtectionTest(nullptr);
        for (const std::string& name : made)
            StopAndDelete(name.c_str());
    }
    // The bed's stand-in service under a name of this test's own.
    void Register(const char* name, const char* dependencies = nullptr, const char* argument = nullptr)
    {
        ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
        ASSERT_TRUE(manager);
        StopAndDelete(name);
        std::string program = bed::TestDirectory() + "slow_service.exe";
        if (argument)
            program = program + " " + argument;
        ServiceHandle service;
        bed::WaitFor(
            [&] {
                service.Attach(CreateServiceA(manager.Get(), name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                              SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, program.c_str(), nullptr,
                                              nullptr, dependencies, nullptr, nullptr));
                return static_cast<bool>(service) || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
            },
            5000);
        ASSERT_TRUE(service) << GetLastError();
        made.push_back(name);
    }
    void Start(const char* name)
    {
        ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
        ServiceHandle service{OpenServiceA(manager.Get(), name, SERVICE_ALL_ACCESS)};
        ASSERT_TRUE(StartServiceA(service.Get(), 0, nullptr)) << GetLastError();
        SERVICE_STATUS status{};
        ASSERT_TRUE(bed::WaitFor(
            [&] { return QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_RUNNING; },
            5000));
    }
    void Run(const OSVERSIONINFOA& version = kWindows7)
    {
        On(version);
        RemoveServices(Active());
    }

    std::vector<std::string> made;
};

// A service that stops and goes needs no restart; only one that stays
// marked for deletion does.
TEST_F(ServiceTest, AListedServiceIsStoppedAndDeletedAndOnlyOneThatStaysMarkedAsksForARestart)
{
    Register("QrvSideService");
    Register("QrvSideRunning");
    Start("QrvSideRunning");
    database.Merged.Services = {"QrvSideService", "QrvSideRunning", "QrvSideNoSuchService"};

    Run(kWindows98);
    EXPECT_TRUE(ServiceExists("QrvSideService")) << "no services there";

    Run();
    EXPECT_FALSE(ServiceExists("QrvSideService"));
    EXPECT_FALSE(ServiceExists("QrvSideRunning")) << "stopped, then deleted";
    EXPECT_EQ(database.RestartRequired, 0u);

    SCOPED_TRACE("a service whose stop stalls stays marked until Windows starts again");
    Register("QrvSideFrozen", nullptr, "frozen-stop");
    Start("QrvSideFrozen");
    database.Merged.Services = {"QrvSideFrozen"};
    const std::vector<Told> told = Journaled(false, [&] { Run(); });
    EXPECT_TRUE(ServiceGoing("QrvSideFrozen"));
    EXPECT_EQ(database.RestartRequired, 1u);
    const Told* marked = Find(told, journal::op::kService, "QrvSideFrozen");
    ASSERT_NE(marked, nullptr);
    EXPECT_EQ(marked->result, journal::Outcome::Scheduled);
    EXPECT_EQ(marked->reason, "it would not stop");
}

// This platform's service manager reports no dependencies, so only the
// spooler itself can be shown staying here.
TEST_F(ServiceTest, TheSpoolerStays)
{
    Register("QrvSideSpooler");
    Register("QrvSideOther");
    UseServiceAsSpooler("QrvSideSpooler");
    database.Merged.Services = {"qrvsidespooler", "QrvSideOther"};

    Run();

    EXPECT_TRUE(ServiceExists("QrvSideSpooler"));
    EXPECT_FALSE(ServiceExists("QrvSideOther"));

    SCOPED_TRACE("the platform's spooler, whichever service the spooler calls control");
    database.Merged.Services = {"sPOOLER"};
    Run();
    EXPECT_TRUE(ServiceExists("Spooler"));
    EXPECT_EQ(database.RestartRequired, 0u);
}

TEST_F(ServiceTest, ADryRunDeletesNoServiceAndForeseesNoRestartForOneThatWouldStop)
{
    Register("QrvSideService");
    Start("QrvSideService");
    database.Merged.Services = {"QrvSideService", "QrvSideNoSuchService"};

    std::vector<Told> told = Journaled(true, [&] { Run(); });
    EXPECT_TRUE(ServiceExists("QrvSideService"));
    EXPECT_EQ(database.RestartRequired, 0u) << "the real run stops it first";
    const Told* would = Find(told, journal::op::kService, "QrvSideService");
    ASSERT_NE(would, nullptr);
    EXPECT_EQ(would->result, journal::Outcome::WouldRemove);

    told = Journaled(false, [&] { Run(); });
    EXPECT_FALSE(ServiceExists("QrvSideService"));
    EXPECT_EQ(database.RestartRequired, 0u);
    const Told* removed = Find(told, journal::op::kService, "QrvSideService");
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->result, journal::Outcome::Removed);
    const Told* missing = Find(told, journal::op::kService, "QrvSideNoSuchService");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->result, journal::Outcome::NotPresent);
}

// Where each form of an image path puts the file: read from how the service
// manager and the loader resolve them, with C:\Windows as the Windows folder.
TEST(WindowsServices, AnImagePathNamesItsFileAsTheServiceManagerReadsIt)
{
    const struct {
        const char* image;
        std::vector<std::string> expected;
    } cases[] = {
        {"\\SystemRoot\\System32\\drivers\\usbprint.sys", {"C:\\Windows\\System32\\drivers\\usbprint.sys"}},
        {"System32\\DRIVERS\\usbprint.sys", {"C:\\Windows\\System32\\DRIVERS\\usbprint.sys"}},
        {"\\??\\D:\\Maker\\qrv.sys", {"D:\\Maker\\qrv.sys"}},
        {"\\\\?\\D:\\Maker\\qrv.sys", {"D:\\Maker\\qrv.sys"}},
        {"\\DosDevices\\D:\\Maker\\qrv.sys", {"D:\\Maker\\qrv.sys"}},
        {"\\Maker\\qrv.sys", {"C:\\Maker\\qrv.sys"}},
        {"C:\\Windows\\system32\\svchost.exe -k LocalService", {"C:\\Windows\\system32\\svchost.exe"}},
        {"\"C:\\Program Files\\Maker\\svc.exe\" /service", {"C:\\Program Files\\Maker\\svc.exe"}},
        {"spoolsv", {"C:\\Windows\\System32\\spoolsv", "C:\\Windows\\System32\\spoolsv.exe", "C:\\Windows\\spoolsv",
                     "C:\\Windows\\spoolsv.exe"}},
        // Unquoted with a space, each place the path may end counts.
        {"C:\\Program Files\\Maker\\svc -x",
         {"C:\\Program", "C:\\Program.exe", "C:\\Program Files\\Maker\\svc", "C:\\Program Files\\Maker\\svc.exe"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ServiceFilePaths(c.image, "C:\\Windows"), c.expected) << c.image;
}

// Files Windows protects, as the Windows folder of the bed spells them.
bool ProtectedInTheBed(const char* path)
{
    for (const char* windows : {"C:\\windows\\system32\\drivers\\qrvusbprt.sys", "C:\\windows\\system32\\svchost.exe",
                                "C:\\windows\\system32\\qrvwinsvc.dll"}) {
        if (lstrcmpiA(path, windows) == 0)
            return true;
    }
    return false;
}

// A script that lists a service of Windows (usbprint, say) must not take it:
// its program or, for a service a shared host runs, its library is a file
// Windows protects. Wine protects no file, so which ones are comes from the
// test; the services are real entries of the bed's service manager.
TEST_F(ServiceTest, AServiceOfWindowsStaysWithItsKeyThoughAScriptListsIt)
{
    SetProtectionTest(ProtectedInTheBed);
    const auto create = [&](const char* name, DWORD type, const char* image, const char* library) {
        ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
        StopAndDelete(name);
        ServiceHandle service{CreateServiceA(manager.Get(), name, name, SERVICE_ALL_ACCESS, type, SERVICE_DEMAND_START,
                                             SERVICE_ERROR_IGNORE, image, nullptr, nullptr, nullptr, nullptr, nullptr)};
        ASSERT_TRUE(service) << name << " " << GetLastError();
        made.push_back(name);
        if (library) {
            const std::string parameters = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name + "\\Parameters";
            ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, parameters.c_str(), "ServiceDll", REG_EXPAND_SZ, library,
                                      static_cast<DWORD>(strlen(library) + 1)),
                      ERROR_SUCCESS);
        }
    };
    create("QrvSideUsbPrt", SERVICE_KERNEL_DRIVER, "\\SystemRoot\\System32\\drivers\\qrvusbprt.sys", nullptr);
    // Spelled as the file system reads it, not as Windows protects it.
    create("QrvSideOddPath", SERVICE_KERNEL_DRIVER, "\\SystemRoot\\System32\\..\\System32/drivers\\qrvusbprt.sys",
           nullptr);
    create("QrvSideWinHosted", SERVICE_WIN32_SHARE_PROCESS, "%SystemRoot%\\System32\\svchost.exe -k QrvSide",
           "%SystemRoot%\\System32\\qrvwinsvc.dll");
    create("QrvSideMakerHosted", SERVICE_WIN32_SHARE_PROCESS, "%SystemRoot%\\System32\\svchost.exe -k QrvSide",
           "%SystemRoot%\\System32\\qrvmaker.dll");
    database.Merged.Services = {"QrvSideUsbPrt", "QrvSideOddPath", "QrvSideWinHosted", "QrvSideMakerHosted"};
    database.Merged.RegistryKeys = {"HKLM,SYSTEM\\CurrentControlSet\\Services\\QrvSideUsbPrt,,1",
                                    "HKLM,SYSTEM\\ControlSet001\\Services\\QrvSideWinHosted\\Parameters,ServiceDll,"};

    for (const bool dry : {true, false}) {
        SCOPED_TRACE(dry ? "dry run" : "real run");
        const std::vector<Told> told = Journaled(dry, [&] {
            Run();
            RemoveRegistryKeys(Active());
        });
        for (const char* windows : {"QrvSideUsbPrt", "QrvSideOddPath", "QrvSideWinHosted"}) {
            EXPECT_TRUE(ServiceExists(windows)) << windows;
            const Told* kept = Find(told, journal::op::kService, windows);
            ASSERT_NE(kept, nullptr) << windows;
            EXPECT_EQ(kept->result, journal::Outcome::Kept) << windows;
        }
        const std::string why = Find(told, journal::op::kService, "QrvSideUsbPrt")->reason;
        EXPECT_NE(why.find("C:\\windows\\System32\\drivers\\qrvusbprt.sys"), std::string::npos) << why;
        for (const char* key : {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\QrvSideUsbPrt",
                                "HKLM\\SYSTEM\\ControlSet001\\Services\\QrvSideWinHosted\\Parameters\\ServiceDll"}) {
            const Told* kept = Find(told, journal::op::kRegistryKey, key);
            if (!kept)
                kept = Find(told, journal::op::kRegistryValue, key);
            ASSERT_NE(kept, nullptr) << key;
            EXPECT_EQ(kept->result, journal::Outcome::Kept) << key;
        }
        EXPECT_TRUE(bed::MachineKeyExists("SYSTEM\\CurrentControlSet\\Services\\QrvSideUsbPrt"));
        const Told* maker = Find(told, journal::op::kService, "QrvSideMakerHosted");
        ASSERT_NE(maker, nullptr);
        EXPECT_EQ(maker->result, dry ? journal::Outcome::WouldRemove : journal::Outcome::Removed)
            << "Windows' host runs the maker's library";
    }
    EXPECT_FALSE(ServiceExists("QrvSideMakerHosted"));
}

// A service's key goes with the service only: one the service step keeps
// (here listed by the script of a printer that stays) keeps its keys, and a
// key below Services that is no service at all (WinSock2's catalogue is
// one) is settings, which stay. The dry run foresees that a deleted
// service's key goes with it.
TEST_F(ServiceTest, AServicesKeyGoesOnlyWithItsServiceAndSettingsBelowServicesStay)
{
    const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
    Register("QrvSideKept");
    Register("QrvSideGoes");
    MakeKey(services + "QrvSideKept\\Parameters");
    MakeKey(services + "QrvSideGoes\\Parameters");
    MakeKey(services + "QrvSideSettings\\Catalog");
    database.BaseWorkList.Services = {"QrvSideKept"};
    database.Merged.Services = {"QrvSideGoes", "QrvSideSettings"};
    database.Merged.RegistryKeys = {"HKLM," + services + "QrvSideKept\\Parameters,,1",
                                    "HKLM," + services + "QrvSideGoes,,1", "HKLM," + services + "QrvSideSettings,,1"};

    for (const bool dry : {true, false}) {
        SCOPED_TRACE(dry ? "dry run" : "real run");
        const std::vector<Told> told = Journaled(dry, [&] {
            Run();
            RemoveRegistryKeys(Active());
        });
        for (const char* stays : {"QrvSideKept\\Parameters", "QrvSideSettings"}) {
            EXPECT_TRUE(bed::MachineKeyExists(services + stays)) << stays;
            const Told* kept = Find(told, journal::op::kRegistryKey, "HKLM\\" + services + stays);
            ASSERT_NE(kept, nullptr) << stays;
            EXPECT_EQ(kept->result, journal::Outcome::Kept) << stays;
        }
        const Told* goes = Find(told, journal::op::kRegistryKey, "HKLM\\" + services + "QrvSideGoes");
        ASSERT_NE(goes, nullptr);
        EXPECT_EQ(goes->result, journal::Outcome::NotPresent) << "it went with its service";
    }
    EXPECT_FALSE(ServiceExists("QrvSideGoes"));
    EXPECT_TRUE(ServiceExists("QrvSideKept"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (services + "QrvSideSettings").c_str());
}

} // namespace

