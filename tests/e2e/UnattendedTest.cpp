// prnuninst.exe as a deployment tool starts it: no window, the answers that
// keep the machine safe, a log and an exit code; and the dry run, which must
// leave the machine as it was and tell what the real run then does.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "e2e/Packages.h"
#include "e2e/Runs.h"
#include "machine/Machine.h"
#include "res/resource.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

// Two printers on two drivers of one package, whose profile both name.
constexpr char kSharedScript[] = "[UnPrinterDrivers]\r\n"
                                 "\"QUORVEL Lumenta 2400\",Lum,3\r\n"
                                 "\"QUORVEL Lumenta 2400 PS\",Lum,3\r\n"
                                 "[Lum.Files]\r\nQLSHARED.DLL\r\nQLHELD.DLL\r\n"
                                 "[Lum.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\E2eShared\",,1\r\n";

struct SharedPackage {
    SharedPackage()
    {
        bed::WriteFile(system + "QLSHARED.DLL", "MZ");
        bed::WriteFile(system + "QLHELD.DLL", "MZ");
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eShared\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        RegCloseKey(key);
    }
    ~SharedPackage()
    {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        DeleteFileA((system + "QLSHARED.DLL").c_str());
        DeleteFileA((system + "QLHELD.DLL").c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eShared");
    }
    SharedPackage(const SharedPackage&) = delete;
    SharedPackage& operator=(const SharedPackage&) = delete;

    void Hold()
    {
        held = CreateFileA((system + "QLHELD.DLL").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    const std::string system = e2e::Folder(CSIDL_SYSTEM);
    HANDLE held = INVALID_HANDLE_VALUE;
};

bool PrepareSharedMachine(machine::Machine& machine)
{
    return machine.PutScript(machine::DriverDirectory(), kSharedScript) &&
           machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}) &&
           machine.InstallPrinter({"Lumenta B", "QUORVEL Lumenta 2400 PS"});
}

// Starts the program with a token whose Administrators entry is deny-only,
// as User Account Control leaves it for a program that was not elevated.
long RunWithoutAdministratorRights(const std::string& arguments)
{
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own))
        return -2;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                             &administrators);
    SID_AND_ATTRIBUTES disabled{administrators, 0};
    HANDLE restricted = nullptr;
    const BOOL made = CreateRestrictedToken(own, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted);
    FreeSid(administrators);
    CloseHandle(own);
    if (!made)
        return -2;
    std::string line = "\"" + bed::Deliverable("prnuninst.exe") + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessAsUserA(restricted, nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(restricted);
    if (!started)
        return -2;
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, kRunTimeout) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

// Starts the program in a window station of its own, which, as a service's
// or a deployment tool's in session 0, nobody sees.
long RunWhereNobodySees(const std::string& arguments)
{
    HWINSTA own = GetProcessWindowStation();
    HWINSTA unseen = CreateWindowStationA("QrvUnseenStation", 0, WINSTA_ALL_ACCESS, nullptr);
    if (!unseen)
        return -2;
    HDESK desktop = nullptr;
    if (SetProcessWindowStation(unseen)) {
        desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(own);
    }
    std::string line = "\"" + bed::Deliverable("prnuninst.exe") + "\" " + arguments;
    char where[] = "QrvUnseenStation\\Default";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = where;
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    DWORD code = static_cast<DWORD>(-2);
    if (started) {
        CloseHandle(info.hThread);
        code = static_cast<DWORD>(-1);
        if (WaitForSingleObject(info.hProcess, kRunTimeout) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        else
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
    }
    if (desktop)
        CloseDesktop(desktop);
    CloseWindowStation(unseen);
    return static_cast<long>(code);
}

} // namespace

TEST(Unattended, NothingToDoEndsWithZeroAnUnknownSwitchWith87AndASecondInstanceWith1618)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kSharedScript));
    ASSERT_TRUE(machine.InstallPrinter({"Acme Office", "Acme LaserWriter 9", false}));
    LogFileOnC log("unattended-codes.log");

    // An administrator's interactive run is on the screen.
    bed::Process first("\"" + bed::Deliverable("prnuninst.exe") + "\"");
    ASSERT_TRUE(first.Started());
    HWND main = nullptr;
    ASSERT_TRUE(bed::WaitFor([&] { return (main = FindWindowA(kMainWindowClass, nullptr)) && IsWindowVisible(main); },
                             60000));
    EXPECT_EQ(RunProgram("/QUIET"), 1618);
    EXPECT_EQ(RunProgram("/WHATIF"), 1618);
    PostMessageA(main, WM_COMMAND, IDC_BTN_EXIT, 0);
    EXPECT_EQ(first.Wait(20000), 1);

    EXPECT_EQ(RunProgram("/QUIET " + log.Switch()), 0);
    EXPECT_TRUE(Listed("Acme Office")) << "another maker's printer is never offered";
    EXPECT_TRUE(DriverInstalled("Acme LaserWriter 9"));

    EXPECT_EQ(RunProgram("/QUIET /SILENT " + log.Switch()), 87);
    const std::string written = Content(log.path);
    EXPECT_NE(written.find("/SILENT"), std::string::npos) << "the log names the switch";
    EXPECT_NE(written.find("/FORCERESTART"), std::string::npos) << "the log holds the usage";
    EXPECT_EQ(RunProgram("-quiet -log"), 87) << "a log switch without a file";
    EXPECT_EQ(RunProgram("/QUIET /NORESTART /FORCERESTART"), 87);
    EXPECT_TRUE(Listed("Acme Office"));
}

TEST(Unattended, QuietRemovalOfOnePrinterKeepsWhatThePrinterThatStaysNeeds)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareSharedMachine(machine));
    SharedPackage package;
    LogFileOnC log("unattended-one.log");

    EXPECT_EQ(RunProgram("/QUIET /PRN:\"QUORVEL Lumenta 2400\" " + log.Switch()), 0);

    EXPECT_FALSE(Listed("Lumenta A"));
    EXPECT_FALSE(DriverInstalled("QUORVEL Lumenta 2400"));
    EXPECT_TRUE(Listed("Lumenta B"));
    EXPECT_TRUE(DriverInstalled("QUORVEL Lumenta 2400 PS"));
    EXPECT_TRUE(Exists(package.system + "QLSHARED.DLL")) << "the staying printer's profile names it";
    EXPECT_TRUE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\E2eShared\\Sub"));

    const std::vector<LogLine> lines = ReadLog(log.path);
    EXPECT_TRUE(Logged(lines, "printer", "Lumenta A", "removed"));
    EXPECT_TRUE(Logged(lines, "printer driver", "QUORVEL Lumenta 2400 (Windows x64)", "removed"));
    EXPECT_FALSE(Logged(lines, "printer", "Lumenta B", "removed"));
    for (const LogLine& line : lines)
        EXPECT_FALSE(line.time.empty() || line.step.empty()) << line.operation << " " << line.item;
}

TEST(Unattended, QuietRemovalOfAllTakesTheCommonItemsAndAHeldFileAsksForARestartBy3010)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareSharedMachine(machine));
    SharedPackage package;
    package.Hold();
    ASSERT_NE(package.held, INVALID_HANDLE_VALUE);
    LogFileOnC log("unattended-all.log");

    EXPECT_EQ(RunProgram("/QUIET " + log.Switch()), 3010) << "answered No without asking: a restart is still needed";

    EXPECT_FALSE(Listed("Lumenta A"));
    EXPECT_FALSE(Listed("Lumenta B"));
    EXPECT_FALSE(Exists(package.system + "QLSHARED.DLL"));
    EXPECT_FALSE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\E2eShared"));
    EXPECT_NE(PendingRenames().find(package.system + "QLHELD.DLL"), std::string::npos) << PendingRenames();
    const std::vector<LogLine> lines = ReadLog(log.path);
    EXPECT_TRUE(Logged(lines, "file", package.system + "QLHELD.DLL", "scheduled for the next start"));
    EXPECT_FALSE(Logged(lines, "restart", "Windows", "started"));
}

TEST(Unattended, NoAdministratorRightsAndASpoolerThatDoesNotAnswerEndWith1603AndRemoveNothing)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareSharedMachine(machine));
    SharedPackage package;

    EXPECT_EQ(RunWithoutAdministratorRights("/QUIET"), 1603);
    EXPECT_TRUE(Listed("Lumenta A"));
    EXPECT_TRUE(Listed("Lumenta B"));

    // The test build of the spooler proxy lies beside the tests: a copy of
    // the program there loads it, and it fails every printer enumeration
    // as a spooler that has stopped answering does (Wine's always answers).
    LogFileOnC log("unattended-spooler.log");
    EXPECT_EQ(RunWithFaults("EnumPrintersA=1722", "/QUIET " + log.Switch()), 1603);
    EXPECT_TRUE(Listed("Lumenta A"));
    EXPECT_TRUE(Listed("Lumenta B"));
    EXPECT_TRUE(Exists(package.system + "QLSHARED.DLL"));
    EXPECT_TRUE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\E2eShared\\Sub"));
    EXPECT_NE(Content(log.path).find("message"), std::string::npos) << "the spooler's message goes to the log";
}

TEST(NoPick, WithAFilterTheOfferedPrintersGoWithoutAChoice)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareSharedMachine(machine));
    SharedPackage package;

    bed::Process program("\"" + bed::Deliverable("prnuninst.exe") + "\" /NOPICK /PRN:\"QUORVEL Lumenta 2400\"");
    ASSERT_TRUE(program.Started());
    const std::string done = bed::Ansi("プリンタのアンインストールが完了しました。");
    HWND box = nullptr;
    ASSERT_TRUE(bed::WaitFor(
        [&] {
            box = FindWindowA("#32770", bed::Ansi("アンインストール").c_str());
            char text[512] = {};
            if (box)
                GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
            return box && done == text;
        },
        60000))
        << "the removal never ran to its end without a choice";
    HWND main = FindWindowA(kMainWindowClass, nullptr);
    EXPECT_TRUE(main && IsWindowVisible(main)) << "the window shows while it runs";
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);

    EXPECT_FALSE(Listed("Lumenta A"));
    EXPECT_TRUE(Listed("Lumenta B")) << "the filter did not offer it";
    ASSERT_TRUE(bed::WaitFor([&] { return IsWindowEnabled(GetDlgItem(main, IDC_BTN_EXIT)) != FALSE; }, 10000));
    PostMessageA(main, WM_COMMAND, IDC_BTN_EXIT, 0);
    EXPECT_EQ(program.Wait(20000), 1);
}

namespace {

// The package of "Lumenta C" as the other end-to-end runs make it, the
// driver of "Lumenta D" with one of the same files, and the masking
// product, whose tool the removal starts when the last printer goes.
constexpr char kWhatIfScript[] = "[UnPrinterDrivers]\r\n"
                                 "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n"
                                 "\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                                 "Veltrope,Velt,1\r\n"
                                 "[Lum2400.Files]\r\nQLE2ELIB.DLL\r\nqe2ehelp.txt\r\n"
                                 "[Lum3100.Files]\r\nQL3100.DLL\r\nQLE2ELIB.DLL\r\nQLE2EINUSE.DLL=held\r\n"
                                 "QLE2EGONE.DLL\r\nqe2estat.exe\r\n"
                                 "[Lum3100.PrintProcessors]\r\nQrvE2eProc\r\n"
                                 "[Lum3100.Monitors]\r\nQUORVEL E2E Monitor\r\n"
                                 "[Lum3100.Services]\r\nQrvE2eService\r\n"
                                 "[Lum3100.DeleteLoadRun]\r\n\"QUORVEL E2E Status\",qe2estat.exe\r\n"
                                 "[Lum3100.Hooks]\r\nqhook_e2e.dll,HookEntry\r\n"
                                 "[Lum3100.RegistryKeys]\r\n"
                                 "HKLM,\"SOFTWARE\\QUORVEL\\E2eTree\",,1\r\n"
                                 "HKLM,SOFTWARE\\QUORVEL\\E2eValues,Gone\r\n"
                                 "[Lum3100.DeleteIni]\r\nqe2e.ini,Settings,Remove\r\n"
                                 "[Lum3100.Shortcuts]\r\n\"QUORVEL E2E\"\r\n\"QUORVEL E2E\",\"Status Monitor.exe\"\r\n"
                                 "[Velt.Files]\r\nVELTRO32.EXE\r\n";

// What the maker's installers recorded besides the package: its own
// folder (a listed program, a folder it empties, a file nobody lists), the
// masking product's tool in the folder the removal looks for it in, and the
// maker's common keys with a key of another product of the maker below them.
struct MakerExtras {
    MakerExtras()
    {
        CreateDirectoryA("C:\\Program Files\\QUORVEL", nullptr);
        for (const char* folder : {"", "Help", "Keep"})
            CreateDirectoryA((oemFolder + folder).c_str(), nullptr);
        for (const char* file : {"qe2estat.exe", "Help\\qe2ehelp.txt", "Keep\\notes.txt"})
            bed::WriteFile(oemFolder + file, "x");
        CreateDirectoryA(toolFolder.c_str(), nullptr);
        CopyFileA((bed::TestDirectory() + "masking_tool.exe").c_str(), tool.c_str(), FALSE);
        SetEnvironmentVariableA("MASKING_TOOL_MS", "300");
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths", "E2E", REG_SZ, oemFolder.c_str(),
                        static_cast<DWORD>(oemFolder.size() + 1));
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM\\OEMPaths", "Tool", REG_SZ, toolFolder.c_str(),
                        static_cast<DWORD>(toolFolder.size() + 1));
        for (const char* key : {"SOFTWARE\\QUORVEL\\QRS64__Q\\Settings", "SOFTWARE\\QUORVEL\\Filters",
                                "SOFTWARE\\QUORVEL\\OtherProduct"}) {
            HKEY made = nullptr;
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr);
            RegCloseKey(made);
        }
    }
    ~MakerExtras()
    {
        SetEnvironmentVariableA("MASKING_TOOL_MS", nullptr);
        for (const char* file : {"qe2estat.exe", "Help\\qe2ehelp.txt", "Keep\\notes.txt"})
            DeleteFileA((oemFolder + file).c_str());
        for (const char* folder : {"Help", "Keep", ""})
            RemoveDirectoryA((oemFolder + folder).c_str());
        for (const char* suffix : {"", ".args", ".done"})
            DeleteFileA((tool + suffix).c_str());
        RemoveDirectoryA(toolFolder.c_str());
        RemoveDirectoryA("C:\\Program Files\\QUORVEL");
        for (const char* key : {"OEM_Q", "OEM", "QRS64__Q", "Filters", "OtherProduct"})
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\QUORVEL\\") + key).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL");
    }
    MakerExtras(const MakerExtras&) = delete;
    MakerExtras& operator=(const MakerExtras&) = delete;

    const std::string oemFolder = "C:\\Program Files\\QUORVEL\\E2E\\";
    const std::string toolFolder = "C:\\Program Files\\QUORVEL\\Veltrope";
    const std::string tool = toolFolder + "\\VELTRO32.EXE";
};

// Runs the program while watching the spooler service: true in `changed`
// when its state was ever seen to differ from the one it had at the start
// (Wine's spooler works in each process; its service may well be stopped).
long RunWatchingTheSpooler(const std::string& arguments, bool& changed)
{
    const DWORD initial = bed::ServiceState("Spooler");
    bed::Process process("\"" + bed::Deliverable("prnuninst.exe") + "\" " + arguments);
    changed = false;
    long code = -1;
    const ULONGLONG end = GetTickCount64() + kRunTimeout;
    while ((code = process.Wait(0)) == -1 && GetTickCount64() < end) {
        changed = changed || bed::ServiceState("Spooler") != initial;
        Sleep(2);
    }
    return code == -1 ? process.Wait(1000) : code;
}

// What a line says of its item, whichever run wrote it: taken away (or
// would be), changed (or would be), kept, not there, failed.
std::string OutcomeClass(const std::string& outcome)
{
    for (const char* removal : {"removed", "scheduled for the next start", "would remove"}) {
        if (outcome == removal)
            return "taken away";
    }
    for (const char* word : {"kept", "not present", "failed"}) {
        if (outcome.rfind(word, 0) == 0)
            return outcome.rfind("kept", 0) == 0 ? outcome : word;
    }
    return "changed";
}

// Every line of the log as operation, item and outcome class; the messages
// with their answers.
std::set<std::string> Account(const std::vector<LogLine>& log)
{
    std::set<std::string> account;
    for (const LogLine& line : log) {
        // Each run's first and last lines tell that run: its command line,
        // its counts.
        if (line.step == "end" || (line.operation == "program" && line.outcome == "started"))
            continue;
        account.insert(line.operation + " | " + line.item + " | " +
                       (line.operation == "message" ? line.outcome : OutcomeClass(line.outcome)));
    }
    return account;
}

} // namespace

TEST(WhatIf, ChangesNothingAndListsItemForItemWhatTheRealRunThenDoes)
{
    machine::Machine machine;
    machine::Driver acme("Acme LaserWriter 9");
    acme.dependentFiles = {"QLE2ELIB.DLL"};
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kWhatIfScript));
    ASSERT_TRUE(machine.InstallDriver(acme));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta C", "QUORVEL Lumenta 3100"}));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta D", "QUORVEL Lumenta 2400"}));
    ASSERT_TRUE(machine.InstallPrinter({"Front Desk (Veltrope)", "Veltrope", false, "Lumenta C"}));
    ASSERT_TRUE(machine.InstallPrinter({"Acme Office", "Acme LaserWriter 9", false}));
    PackageExtras extras;
    ASSERT_TRUE(extras.Ready());
    PackageFiles package;
    ASSERT_NE(package.held, INVALID_HANDLE_VALUE);
    MakerExtras maker;
    LogFileOnC whatIfLog("unattended-whatif.log");
    LogFileOnC quietLog("unattended-real.log");

    AskWhatWineMakesOnFirstRead();
    const std::string before = MachineState();
    bool changed = true;
    EXPECT_EQ(RunWatchingTheSpooler("/WHATIF " + whatIfLog.Switch(), changed), 0);
    EXPECT_FALSE(changed) << "the spooler was stopped or started";
    const std::string after = MachineState();
    EXPECT_TRUE(before == after) << "before:\n" << before << "\nafter:\n" << after;
    EXPECT_EQ(extras.HookCalls(), 0) << "a dry run calls no hook";
    EXPECT_FALSE(Exists(maker.tool + ".args")) << "a dry run starts no program";

    const std::vector<LogLine> dry = ReadLog(whatIfLog.path);
    EXPECT_TRUE(Logged(dry, "program", maker.tool, "would start with \" /d\""));
    EXPECT_TRUE(Logged(dry, "printer", "Front Desk (Veltrope)", "would remove"));
    EXPECT_TRUE(Logged(dry, "file", "QLE2ELIB.DLL", "kept (a file of the driver of printer \"Acme Office\")"));
    EXPECT_TRUE(Logged(dry, "folder", maker.oemFolder + "Help", "would remove"));
    EXPECT_TRUE(Logged(dry, "registry key", "HKLM\\SOFTWARE\\QUORVEL", "kept (holds other keys)"));

    // The real run on the same machine; the oracle above could see a stop.
    EXPECT_EQ(RunWatchingTheSpooler("/QUIET " + quietLog.Switch(), changed), 3010);
    EXPECT_TRUE(changed) << "the real loading restarts the spooler; the watch must see it";
    const std::vector<LogLine> real = ReadLog(quietLog.path);
    EXPECT_TRUE(Logged(real, "program", maker.tool, "started with \" /d\""));
    EXPECT_TRUE(Logged(real, "program", maker.tool, "ended with exit code 0"));
    EXPECT_EQ(Content(maker.tool + ".args").find(" /d"), Content(maker.tool + ".args").size() - 3);

    // Item for item, the dry run's list is the real run's. A held file is
    // told as scheduled by the one and as taken away by the other: both
    // take it away.
    const std::set<std::string> listed = Account(dry);
    const std::set<std::string> done = Account(real);
    std::set<std::string> onlyListed, onlyDone;
    std::set_difference(listed.begin(), listed.end(), done.begin(), done.end(),
                        std::inserter(onlyListed, onlyListed.end()));
    std::set_difference(done.begin(), done.end(), listed.begin(), listed.end(),
                        std::inserter(onlyDone, onlyDone.end()));
    EXPECT_TRUE(onlyListed.empty()) << "in the dry run's list only:\n" << Joined(onlyListed);
    EXPECT_TRUE(onlyDone.empty()) << "in the real run's list only:\n" << Joined(onlyDone);

    EXPECT_FALSE(Listed("Lumenta C"));
    EXPECT_FALSE(Listed("Front Desk (Veltrope)"));
    EXPECT_TRUE(Listed("Acme Office"));
    EXPECT_TRUE(Exists(package.system + "QLE2ELIB.DLL"));
    EXPECT_TRUE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\OtherProduct"));
    EXPECT_FALSE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\OEM_Q"));
    EXPECT_FALSE(Exists(maker.oemFolder + "Help"));
    EXPECT_TRUE(Exists(maker.oemFolder + "Keep\\notes.txt"));
}

// Started where nobody can see a window and not told to run unattended, it
// ends with 1603 and says why rather than wait on a dialog; unattended it
// runs there as anywhere.
TEST(Unattended, WhereNobodySeesAWindowOnlyAnUnattendedRunGoesOn)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareSharedMachine(machine));
    SharedPackage package;

    LogFileOnC log("unseen.log");
    EXPECT_EQ(RunWhereNobodySees(log.Switch()), 1603);
    EXPECT_TRUE(Listed("Lumenta A"));
    EXPECT_TRUE(Listed("Lumenta B"));
    const std::vector<LogLine> lines = ReadLog(log.path);
    ASSERT_FALSE(lines.empty()) << Content(log.path);
    EXPECT_NE(Content(log.path).find("/QUIET"), std::string::npos) << Content(log.path);
    EXPECT_NE(lines.back().outcome.find("1603"), std::string::npos) << Content(log.path);

    LogFileOnC dry("unseen-whatif.log");
    EXPECT_EQ(RunWhereNobodySees("/WHATIF " + dry.Switch()), 0) << Content(dry.path);
    EXPECT_TRUE(Listed("Lumenta A"));
}

