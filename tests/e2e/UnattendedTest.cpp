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

void DumpKey(HKEY root, const std::string& path, std::string& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        out += "[" + path + "] missing\n";
        return;
    }
    out += "[" + path + "]\n";
    for (DWORD i = 0;; ++i) {
        char name[512];
        BYTE data[4096];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        out += std::string(name, nameSize) + "=" + std::to_string(type) + ":" +
               std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, nameSize);
    }
    RegCloseKey(key);
    for (const std::string& subkey : subkeys)
        DumpKey(root, path + "\\" + subkey, out);
}

void DumpFiles(const std::string& directory, std::string& out, bool recurse)
{
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = directory + "\\" + name;
        char line[64];
        std::snprintf(line, sizeof line, " %lx %lu %lx%08lx\n", found.dwFileAttributes, found.nFileSizeLow,
                      found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
        out += path + line;
        if (recurse && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            DumpFiles(path, out, true);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string Drivers(const char* environment)
{
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    std::string names;
    if (EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, buffer.data(), needed, &needed, &count)) {
        const auto* info = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            names += std::string(info[i].pName) + ";";
    }
    return names;
}

// Everything the removal could touch on this machine: queues, drivers in
// every environment, the spooler's and the maker's registry, the start-up
// and restart lists, the services, the system, spooler, INF, Windows and
// Programs folders with each file's size, attributes and time.
std::string MachineState()
{
    std::string state;
    for (const std::string& printer : machine::ListedPrinters())
        state += "printer " + printer + "\n";
    for (const char* environment : {"Windows x64", "Windows NT x86", "Windows 4.0"})
        state += std::string("drivers ") + environment + ": " + Drivers(environment) + "\n";
    DumpKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL", state);
    DumpKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print", state);
    DumpKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QrvE2eService", state);
    DumpKey(HKEY_LOCAL_MACHINE, kRunKey, state);
    DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", state);
    DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts", state);
    DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", state);
    state += "pending " + PendingRenames() + "\n";
    const std::string windows = e2e::Folder(CSIDL_WINDOWS);
    DumpFiles(windows.substr(0, windows.size() - 1), state, false);
    DumpFiles(windows + "inf", state, false);
    DumpFiles(e2e::Folder(CSIDL_SYSTEM).substr(0, e2e::Folder(CSIDL_SYSTEM).size() - 1), state, false);
    DumpFiles(windows + "system32\\spool", state, true);
    DumpFiles(e2e::Folder(CSIDL_PROGRAMS).substr(0, e2e::Folder(CSIDL_PROGRAMS).size() - 1), state, true);
    DumpFiles("C:\\Program Files\\QUORVEL", state, true);
    state += "win.ini " + Content(windows + "win.ini") + "\nqe2e.ini " + Content(windows + "qe2e.ini") + "\n";
    return state;
}

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

// Wine's spooler makes an environment's keys and driver folder the first
// time anybody asks for them, even only to read. The program reads every
// environment's drivers and processors; asking the same first keeps those
// traces of Wine's out of what the dry run is judged by.
void AskWhatWineMakesOnFirstRead()
{
    for (const char* environment : {"Windows x64", "Windows NT x86", "Windows 4.0", "Windows IA64", "Windows ARM64"}) {
        char* env = const_cast<char*>(environment);
        DWORD needed = 0, count = 0;
        BYTE buffer[8192];
        EnumPrinterDriversA(nullptr, env, 3, buffer, sizeof buffer, &needed, &count);
        EnumPrintProcessorsA(nullptr, env, 1, buffer, sizeof buffer, &needed, &count);
        GetPrinterDriverDirectoryA(nullptr, env, 1, buffer, sizeof buffer, &needed);
        GetPrintProcessorDirectoryA(nullptr, env, 1, buffer, sizeof buffer, &needed);
    }
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
