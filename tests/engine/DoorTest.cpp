// The door, tried as a deployment tool's dry run tries it: the whole
// unattended run on the demo machine, with the door that acts replaced by
// one that fails the test on any call. The dry run must never reach it,
// must change nothing, and must still tell what the real run would do.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "SplProxyFaults.h"
#include "common/Journal.h"
#include "door/Door.h"
#include "engine/RunMode.h"
#include "engine/UnattendedRun.h"
#include "machine/DemoPackage.h"
#include "machine/DemoState.h"
#include "script/MessageBox.h"
#include "system/Restart.h"
#include "support/WineBed.h"

namespace {

// Fails the test on any call: a dry run that reaches it changed the machine
// or would have.
class TripwireDoor : public Door {
public:
#define TRIPPED(what, result)                                                                                        \
    {                                                                                                                \
        ADD_FAILURE() << "the acting door was reached: " << what;                                                   \
        return result;                                                                                               \
    }
    bool DeleteJob(HANDLE, DWORD, const char* item) override TRIPPED("DeleteJob " << item, false)
    bool DeletePrinter(HANDLE, const char* name) override TRIPPED("DeletePrinter " << name, false)
    bool DeleteConnection(const char* name) override TRIPPED("DeleteConnection " << name, false)
    bool MakeDefaultPrinter(HANDLE, const char* name, std::vector<BYTE>*, const char*, const PlatformKind&) override
        TRIPPED("MakeDefaultPrinter " << name, false)
    bool SetUserDefaultPrinter(const char* name, const PlatformKind&) override TRIPPED("SetDefaultPrinter " << name, false)
    bool MovePrinterToProcessor(const char* printer, const char*, const char*, const char*) override
        TRIPPED("MovePrinterToProcessor " << printer, false)
    Deletion DeleteDriver(const char*, const char* name) override TRIPPED("DeleteDriver " << name, Deletion::Failed)
    Deletion DeletePortMonitor(const char*, const char* name, const char*, bool) override
        TRIPPED("DeletePortMonitor " << name, Deletion::Failed)
    Deletion DeleteProcessor(const char*, const char* name) override
        TRIPPED("DeleteProcessor " << name, Deletion::Failed)
    Deletion DeleteService(const char* name) override TRIPPED("DeleteService " << name, Deletion::Failed)
    bool UnloadLeftoverHive(const char* name) override TRIPPED("UnloadLeftoverHive " << name, false)
    bool StopSpooler() override TRIPPED("StopSpooler", false)
    bool StartSpooler() override TRIPPED("StartSpooler", false)
    bool CloseSpoolerWindow(HWND, const char* windowClass) override TRIPPED("CloseSpoolerWindow " << windowClass, false)
    bool CloseCompanion(HWND, const char* windowClass, WPARAM, LPARAM, UINT) override
        TRIPPED("CloseCompanion " << windowClass, false)
    bool BroadcastCloseRequest(UINT, const char* name, bool) override TRIPPED("BroadcastCloseRequest " << name, false)
    bool CallHook(const char* path, const char*, const char*, HWND, HINSTANCE, const char*, DWORD) override
        TRIPPED("CallHook " << path, false)
    StartedProgram StartProgram(const char*, const char* path, const char*) override
        TRIPPED("StartProgram " << path, StartedProgram{})
    bool RequestRestart(RestartVariant, const char*) override TRIPPED("RequestRestart", false)
    bool RemoveDevice(HDEVINFO, SP_DEVINFO_DATA&, const char* instance) override
        TRIPPED("RemoveDevice " << instance, false)
    bool UninstallOemInf(const char* path, const char*) override TRIPPED("UninstallOemInf " << path, false)
    bool DeleteRegistryKey(const char*, const char* item, HKEY, const char*, bool, bool) override
        TRIPPED("DeleteRegistryKey " << item, false)
    bool DeleteRegistryValue(const char*, const char* item, HKEY, const char*, const char*, bool) override
        TRIPPED("DeleteRegistryValue " << item, false)
    bool SetRegistryText(const char*, const char* item, HKEY, const char*, const char*, const char*) override
        TRIPPED("SetRegistryText " << item, false)
    bool WriteProfileLine(const char*, const char* item, const char*, const char*, const char*, bool) override
        TRIPPED("WriteProfileLine " << item, false)
    bool DeleteIniLine(const char* item, const char*, const char*, const char*) override
        TRIPPED("DeleteIniLine " << item, false)
    bool DeleteProfileKey(const char* item, const char*, const char*, const char*) override
        TRIPPED("DeleteProfileKey " << item, false)
    bool SendProgmanCommands(const char*, const char* item, const std::vector<std::string>&) override
        TRIPPED("SendProgmanCommands " << item, false)
    FileFate DeleteOrScheduleFile(const char*, const PlatformKind&, const char* path) override
        TRIPPED("DeleteOrScheduleFile " << path, FileFate::Failed)
    FileFate DeleteFileNow(const char*, const char* path) override TRIPPED("DeleteFileNow " << path, FileFate::Failed)
    bool ScheduleWithDeleter(const char*, const char* path) override TRIPPED("ScheduleWithDeleter " << path, false)
    void ClearReadOnly(const char* path) override TRIPPED("ClearReadOnly " << path, )
    bool RemoveFolder(const char* path, WhenNotEmpty) override TRIPPED("RemoveFolder " << path, false)
    bool ScheduleFolderRemoval(const char* path) override TRIPPED("ScheduleFolderRemoval " << path, false)
#undef TRIPPED
};

// The calls of the spooler proxy that change something.
constexpr const char* kChangingCalls[] = {
    "DeletePrinter",  "DeletePrinterConnectionA", "SetPrinterA",    "SetJobA",         "DeletePrinterDriverA",
    "DeleteMonitorA", "DeletePrintProcessorA",    "RegDeleteKeyA",  "RegDeleteValueA", "RegSetValueExA",
};

} // namespace

TEST(Door, ADryRunOfTheDemoMachineNeverReachesTheDoorThatActsAndChangesNothing)
{
    machine::Machine machine;
    ASSERT_TRUE(demo::Prepare(machine));
    struct Cleanup {
        ~Cleanup() { demo::Remove(); }
    } cleanup;
    // The masking product's tool, where the removal looks for it: the dry
    // run must not start it.
    const std::string folder = bed::TestDirectory() + "velt";
    const std::string tool = folder + "\\VELTRO32.EXE";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((bed::TestDirectory() + "masking_tool.exe").c_str(), tool.c_str(), FALSE));
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM\\OEMPaths", "Tool", REG_SZ, folder.c_str(),
                    static_cast<DWORD>(folder.size() + 1));
    struct ToolCleanup {
        const std::string& tool;
        const std::string& folder;
        ~ToolCleanup()
        {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM");
            for (const char* suffix : {"", ".args", ".done"})
                DeleteFileA((tool + suffix).c_str());
            RemoveDirectoryA(folder.c_str());
        }
    } toolCleanup{tool, folder};

    struct Line {
        std::string operation, item, reason;
        journal::Outcome result;
    };
    std::vector<Line> lines;
    journal::SetSink([&](const journal::Entry& e) { lines.push_back({e.Operation, e.Item, e.Reason, e.Result}); });
    SplProxyFault_Clear();
    const std::string before = demo::State("before");
    const SwitchList switches("prnuninst.exe /WHATIF");
    TripwireDoor tripwire;
    const int code = RunUnattended(GetModuleHandleA(nullptr), ReadRunMode(switches), switches, &tripwire);
    const std::string after = demo::State("before");
    journal::Reset();
    SetMessageAnswerer([](const char* text, const char*, UINT) {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDCANCEL;
    });
    SetRestartPolicy(RestartPolicy::Ask);

    EXPECT_EQ(code, 0);
    EXPECT_EQ(before, after);
    for (const char* call : kChangingCalls)
        EXPECT_EQ(SplProxyFault_CallCount(call), 0) << call;
    EXPECT_EQ(GetFileAttributesA((tool + ".args").c_str()), INVALID_FILE_ATTRIBUTES) << "the masking tool was started";
    bool toldTheTool = false;
    int wouldRemove = 0;
    for (const Line& line : lines) {
        EXPECT_NE(line.result, journal::Outcome::Removed) << line.operation << " " << line.item;
        EXPECT_NE(line.result, journal::Outcome::Scheduled) << line.operation << " " << line.item;
        // What a dry run tells as the real run does, changing nothing:
        // that Windows needs a restart it leaves undone, and that the
        // spooler was not running to be stopped.
        const bool observed = line.operation == journal::op::kRestart || line.reason == "was not running";
        if (!observed) {
            EXPECT_NE(line.result, journal::Outcome::Changed) << line.operation << " " << line.item;
        }
        toldTheTool = toldTheTool || (line.result == journal::Outcome::WouldChange &&
                                      line.operation == journal::op::kProgram && line.item == tool);
        wouldRemove += line.result == journal::Outcome::WouldRemove;
    }
    EXPECT_TRUE(toldTheTool) << "the dry run says it would start the masking tool";
    EXPECT_GT(wouldRemove, 20) << "every step ran and listed what it would take";
}
