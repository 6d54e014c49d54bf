// A removal whose plan meets a machine that differs from it: a chosen
// printer the spooler won't take away keeps everything it needs and the run
// says it failed; a run that can't log, matches nothing or is asked for its
// usage changes nothing and ends by itself; a run cut off and run again ends
// where one whole run ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/Packages.h"
#include "e2e/Runs.h"
#include "machine/Machine.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

// Two printers of the maker on two drivers, each package with its own
// file, key, start-up entry and program group.
constexpr char kTwoPackages[] = "[UnPrinterDrivers]\r\n"
                                "\"QUORVEL Lumenta 2400\",LumA,3\r\n"
                                "\"QUORVEL Lumenta 2400 PS\",LumB,3\r\n"
                                "[LumA.Files]\r\nQLPLANA.DLL\r\n"
                                "[LumA.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\PlanA\",,1\r\n"
                                "[LumA.DeleteLoadRun]\r\n\"QUORVEL Plan A\",qplana.exe\r\n"
                                "[LumA.Shortcuts]\r\n\"QUORVEL Plan A\",\"Status A.exe\"\r\n"
                                "[LumB.Files]\r\nQLPLANB.DLL\r\n"
                                "[LumB.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\PlanB\",,1\r\n"
                                // The maker's common key, named by one package too.
                                "HKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",,1\r\n"
                                "[LumB.DeleteLoadRun]\r\n\"QUORVEL Plan B\",qplanb.exe\r\n"
                                "[LumB.Shortcuts]\r\n\"QUORVEL Plan B\",\"Status B.exe\"\r\n";

// What each package put on the machine, taken away when the test ends.
struct TwoPackages {
    TwoPackages()
    {
        for (const char* side : {"A", "B"}) {
            bed::WriteFile(File(side), "MZ");
            HKEY key = nullptr;
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key(side).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr);
            RegCloseKey(key);
            const std::string command = std::string("qplan") + side + ".exe";
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, Run(side).c_str(), REG_SZ, command.c_str(),
                            static_cast<DWORD>(command.size() + 1));
            CreateDirectoryA(Group(side).c_str(), nullptr);
            bed::WriteFile(Shortcut(side), "L");
        }
    }
    ~TwoPackages()
    {
        for (const char* side : {"A", "B"}) {
            DeleteFileA(File(side).c_str());
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, Key(side).c_str());
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, Run(side).c_str());
            DeleteFileA(Shortcut(side).c_str());
            RemoveDirectoryA(Group(side).c_str());
        }
    }
    TwoPackages(const TwoPackages&) = delete;
    TwoPackages& operator=(const TwoPackages&) = delete;

    static std::string File(const char* side) { return e2e::Folder(CSIDL_SYSTEM) + "QLPLAN" + side + ".DLL"; }
    static std::string Key(const char* side) { return std::string("SOFTWARE\\QUORVEL\\Plan") + side; }
    static std::string Run(const char* side) { return std::string("QUORVEL Plan ") + side; }
    static std::string Group(const char* side) { return e2e::Folder(CSIDL_PROGRAMS) + "QUORVEL Plan " + side + "\\"; }
    static std::string Shortcut(const char* side) { return Group(side) + "Status " + side + ".lnk"; }

    // Everything of that package is still there, or all of it is gone.
    static bool Whole(const char* side)
    {
        return Exists(File(side)) && bed::MachineKeyExists(Key(side)) && RunValueExists(Run(side).c_str()) &&
               Exists(Shortcut(side));
    }
    static bool Gone(const char* side)
    {
        return !Exists(File(side)) && !bed::MachineKeyExists(Key(side)) && !RunValueExists(Run(side).c_str()) &&
               !Exists(Shortcut(side));
    }
};

bool PrepareTwoPrinters(machine::Machine& machine)
{
    return machine.PutScript(machine::DriverDirectory(), kTwoPackages) &&
           machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}) &&
           machine.InstallPrinter({"Lumenta B", "QUORVEL Lumenta 2400 PS"});
}

// A kept line of that operation whose item names `part` and whose reason
// names the printer that could not be removed.
bool KeptFor(const std::vector<LogLine>& log, const std::string& operation, const std::string& part)
{
    return std::any_of(log.begin(), log.end(), [&](const LogLine& line) {
        return line.operation == operation && line.item.find(part) != std::string::npos &&
               line.outcome.find("kept (") == 0 &&
               line.outcome.find("\"Lumenta A\", which could not be removed") != std::string::npos;
    });
}

// The machine's state without the times of folders, which change with
// whatever the test itself writes into them.
std::string StateWithoutFolderTimes()
{
    std::istringstream in(MachineState());
    std::string state;
    for (std::string line; std::getline(in, line);) {
        const std::size_t time = line.rfind(' ');
        const std::size_t size = time == std::string::npos ? time : line.rfind(' ', time - 1);
        const std::size_t attributes = size == std::string::npos ? size : line.rfind(' ', size - 1);
        if (attributes != std::string::npos &&
            (std::strtoul(line.c_str() + attributes + 1, nullptr, 16) & FILE_ATTRIBUTE_DIRECTORY))
            line.erase(time);
        state += line + "\n";
    }
    return state;
}

} // namespace

TEST(Plan, APrinterTheSpoolerKeepsKeepsItsPackageAndTheRunEndsWith1603)
{
    // A queue the spooler refuses to delete, and one whose permissions
    // don't let the administrator manage it (Wine has neither: the test
    // build of the proxy refuses for that queue alone).
    for (const char* fault : {"DeletePrinter:Lumenta A=5", "OpenPrinterA:Lumenta A=5"}) {
        SCOPED_TRACE(fault);
        machine::Machine machine;
        ASSERT_TRUE(PrepareTwoPrinters(machine));
        TwoPackages packages;
        HKEY common = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &common, nullptr);
        RegCloseKey(common);
        LogFileOnC log("plan-refused.log");

        EXPECT_EQ(RunWithFaults(fault, "/QUIET " + log.Switch()), 1603);

        EXPECT_TRUE(Listed("Lumenta A"));
        EXPECT_TRUE(DriverInstalled("QUORVEL Lumenta 2400"));
        EXPECT_TRUE(TwoPackages::Whole("A")) << "the printer that stayed lost part of its package";
        EXPECT_TRUE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths"))
            << "the maker's common keys go with its last printer only";
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q");
        EXPECT_FALSE(Listed("Lumenta B"));
        EXPECT_FALSE(DriverInstalled("QUORVEL Lumenta 2400 PS"));
        EXPECT_TRUE(TwoPackages::Gone("B")) << Content(log.path);

        const std::vector<LogLine> lines = ReadLog(log.path);
        EXPECT_TRUE(Logged(lines, "printer", "Lumenta A", "failed (error 5)"));
        EXPECT_TRUE(KeptFor(lines, "file", "QLPLANA.DLL"));
        EXPECT_TRUE(KeptFor(lines, "registry key", "PlanA"));
        EXPECT_TRUE(KeptFor(lines, "start-up entry", "QUORVEL Plan A"));
        EXPECT_TRUE(KeptFor(lines, "shortcut", "Status A"));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().step, "end");
        EXPECT_EQ(lines.back().outcome, "exit code 1603");
        EXPECT_EQ(lines.back().item.find("printers removed 1, kept 1;"), 0u) << lines.back().item;
    }
}

TEST(Plan, ADriverTheSpoolerKeepsKeepsItsPackage)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareTwoPrinters(machine));
    TwoPackages packages;
    LogFileOnC log("plan-driver.log");

    EXPECT_EQ(RunWithFaults("DeletePrinterDriverA=5", "/QUIET " + log.Switch()), 1603);

    EXPECT_FALSE(Listed("Lumenta A") || Listed("Lumenta B"));
    EXPECT_TRUE(DriverInstalled("QUORVEL Lumenta 2400") && DriverInstalled("QUORVEL Lumenta 2400 PS"));
    EXPECT_TRUE(TwoPackages::Whole("A") && TwoPackages::Whole("B")) << "a driver that stays lost its package";
    const std::vector<LogLine> lines = ReadLog(log.path);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LogLine& line) {
        return line.operation == "file" && line.item.find("QLPLANA.DLL") != std::string::npos &&
               line.outcome == "kept (needed by driver \"QUORVEL Lumenta 2400\", which could not be removed)";
    }));
}

TEST(Plan, AnUnwritableLogAFilterThatMatchesNothingAndTheUsageChangeNothing)
{
    machine::Machine machine;
    ASSERT_TRUE(PrepareTwoPrinters(machine));
    TwoPackages packages;
    HKEY common = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &common,
                    nullptr);
    RegCloseKey(common);

    EXPECT_EQ(RunProgram("/QUIET /LOG:\"C:\\no such folder\\run.log\""), 1622);
    EXPECT_TRUE(Listed("Lumenta A") && Listed("Lumenta B"));
    EXPECT_TRUE(TwoPackages::Whole("A") && TwoPackages::Whole("B"));

    LogFileOnC log("plan-nomatch.log");
    EXPECT_EQ(RunProgram("/QUIET /PRN:\"QUORVEL Lumenta 9999\" " + log.Switch()), 0);
    EXPECT_TRUE(Listed("Lumenta A") && Listed("Lumenta B"));
    EXPECT_TRUE(TwoPackages::Whole("A") && TwoPackages::Whole("B"));
    EXPECT_TRUE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\OEM_Q")) << "the maker's common keys go with its printers only";
    EXPECT_TRUE(Logged(ReadLog(log.path), "printer", "/PRN:\"QUORVEL Lumenta 9999\"", "no printer matched"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q");

    // Started as a deployment tool starts it, with no console to write to:
    // a message box would wait for ever.
    for (const char* usage : {"/QUIET /?", "/WHATIF /?"}) {
        std::string line = "\"" + bed::Deliverable("prnuninst.exe") + "\" " + usage;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                                   &startup, &info));
        CloseHandle(info.hThread);
        const bool ended = WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0;
        DWORD code = 99;
        if (ended)
            GetExitCodeProcess(info.hProcess, &code);
        else
            TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hProcess);
        EXPECT_TRUE(ended) << usage << " waited for somebody";
        EXPECT_EQ(code, 0u) << usage;
    }
}

TEST(Plan, ARunCutOffAndRunAgainEndsAsAWholeRun)
{
    struct Cut {
        const char* switches;
        // The log's line after which the run is cut off: the script gone,
        // or the printers gone (a filter then offers none the second time).
        const char* operation;
        const char* item;
    };
    for (const Cut& cut : {Cut{"/QUIET", "file", "Xrmv___Q.unm"},
                           Cut{"/QUIET /MFG:QUORVEL", "printer driver", "QUORVEL Lumenta 2400"}}) {
        SCOPED_TRACE(cut.switches);
        std::string whole;
        {
            machine::Machine machine;
            ASSERT_TRUE(PrepareTwoPrinters(machine));
            TwoPackages packages;
            EXPECT_EQ(RunProgram(cut.switches), 0);
            whole = StateWithoutFolderTimes();
        }

        machine::Machine machine;
        ASSERT_TRUE(PrepareTwoPrinters(machine));
        TwoPackages packages;
        LogFileOnC log("plan-cut.log");
        {
            bed::Process run("\"" + bed::Deliverable("prnuninst.exe") + "\" " + cut.switches + " " + log.Switch());
            ASSERT_TRUE(run.Started());
            bool seen = false;
            for (const ULONGLONG end = GetTickCount64() + 60000; !seen && GetTickCount64() < end; Sleep(1)) {
                const std::vector<LogLine> lines = ReadLog(log.path);
                seen = std::any_of(lines.begin(), lines.end(), [&](const LogLine& line) {
                    return line.operation == cut.operation && line.item.find(cut.item) != std::string::npos &&
                           line.outcome == "removed";
                });
            }
            run.Kill();
            ASSERT_TRUE(seen) << Content(log.path);
        }
        EXPECT_EQ(RunProgram(cut.switches), 0);
        const std::string again = StateWithoutFolderTimes();
        EXPECT_TRUE(again == whole) << "one whole run:\n" << whole << "\ncut off and run again:\n" << again;
    }
}
