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
#include "machine/Machine.h"
#include "res/resource.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

constexpr DWORD kRunTimeout = 120000;

long RunProgram(const std::string& arguments, const std::string& program = bed::Deliverable("prnuninst.exe"))
{
    bed::Process process("\"" + program + "\" " + arguments);
    if (!process.Started())
        return -2;
    return process.Wait(kRunTimeout);
}

struct LogLine {
    std::string time, step, operation, item, outcome;
};

std::vector<LogLine> ReadLog(const std::string& path)
{
    std::vector<LogLine> lines;
    std::istringstream in(Content(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        if (fields.size() == 5)
            lines.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return lines;
}

bool Logged(const std::vector<LogLine>& log, const std::string& operation, const std::string& item,
            const std::string& outcome)
{
    return std::any_of(log.begin(), log.end(), [&](const LogLine& line) {
        return line.operation == operation && line.item == item && line.outcome.rfind(outcome, 0) == 0;
    });
}

// Operation and item of every line whose outcome begins with one of these.
std::set<std::string> Items(const std::vector<LogLine>& log, std::initializer_list<const char*> outcomes)
{
    std::set<std::string> items;
    for (const LogLine& line : log) {
        for (const char* outcome : outcomes) {
            if (line.outcome.rfind(outcome, 0) == 0)
                items.insert(line.operation + " | " + line.item);
        }
    }
    return items;
}

std::string Joined(const std::set<std::string>& items)
{
    std::string all;
    for (const std::string& item : items)
        all += "  " + item + "\n";
    return all;
}

// A log file of its own for each run, gone before and after.
struct LogFileOnC {
    explicit LogFileOnC(const char* name) : path(std::string("C:\\") + name) { DeleteFileA(path.c_str()); }
    ~LogFileOnC() { DeleteFileA(path.c_str()); }
    LogFileOnC(const LogFileOnC&) = delete;
    LogFileOnC& operator=(const LogFileOnC&) = delete;
    std::string Switch() const { return "/LOG:\"" + path + "\""; }
    const std::string path;
};

bool DriverInstalled(const std::string& name)
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPrinterDriversA(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count))
        return false;
    const auto* info = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (name == info[i].pName)
            return true;
    }
    return false;
}

bool Listed(const std::string& printer)
{
    const std::vector<std::string> printers = machine::ListedPrinters();
    return std::find(printers.begin(), printers.end(), printer) != printers.end();
}

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

std::string PendingRenames()
{
    char pending[16384] = {};
    DWORD size = sizeof pending - 2;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                 "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
    std::string renames(pending, size);
    std::replace(renames.begin(), renames.end(), '\0', '|');
    return renames;
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
    EXPECT_TRUE(Logged(lines, "printer driver", "QUORVEL Lumenta 2400", "removed"));
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
    const std::string copy = bed::TestDirectory() + "prnuninst_faulty.exe";
    ASSERT_TRUE(CopyFileA(bed::Deliverable("prnuninst.exe").c_str(), copy.c_str(), FALSE));
    SetEnvironmentVariableA("SPLPROXY_FAULTS", "EnumPrintersA=1722");
    LogFileOnC log("unattended-spooler.log");
    const long code = RunProgram("/QUIET " + log.Switch(), copy);
    SetEnvironmentVariableA("SPLPROXY_FAULTS", nullptr);
    DeleteFileA(copy.c_str());
    EXPECT_EQ(code, 1603);
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
