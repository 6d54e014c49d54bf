// A removal with its backup, then the backup put back: the machine is as
// it was before, but for what no copy can bring back. And a backup that
// can't be written lets no change happen.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/Packages.h"
#include "e2e/Runs.h"
#include "machine/DemoPackage.h"
#include "machine/DemoState.h"
#include "machine/Machine.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

constexpr char kPackageScript[] =
    "[UnPrinterDrivers]\r\n"
    "\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
    "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n"
    "[Lum2400.Files]\r\nQL2400.DLL\r\n"
    "[Lum3100.Files]\r\nQL3100.DLL\r\nQLE2ELIB.DLL\r\nQLE2EINUSE.DLL=held\r\nQLE2ELOADED.DLL\r\n"
    "[Lum3100.PrintProcessors]\r\nQrvE2eProc\r\n"
    "[Lum3100.Monitors]\r\nQUORVEL E2E Monitor\r\n"
    "[Lum3100.Services]\r\nQrvE2eService\r\n"
    "[Lum3100.DeleteLoadRun]\r\n\"QUORVEL E2E Status\",qe2estat.exe\r\n"
    "[Lum3100.RegistryKeys]\r\n"
    "HKLM,\"SOFTWARE\\QUORVEL\\E2eTree\",,1\r\n"
    "HKLM,SOFTWARE\\QUORVEL\\E2eValues,Gone\r\n"
    "[Lum3100.DeleteIni]\r\nqe2e.ini,Settings,Remove\r\n"
    "[Lum3100.Shortcuts]\r\n\"QUORVEL E2E\"\r\n\"QUORVEL E2E\",\"Status Monitor.exe\"\r\n";

struct BackupFolder {
    explicit BackupFolder(const char* name) : path(std::string("C:\\") + name) { bed::RemoveTree(path); }
    ~BackupFolder() { bed::RemoveTree(path); }
    const std::string path;
};

// The state, but for what a removal and its restore change by their nature:
// - a folder's time is that of the last entry made or taken in it, and a
//   folder taken and made again is a new one;
// - an INI file that lost a line and got it back is the same text written
//   at another time;
// - this platform's spooler stores the device mode given to AddPrinter
//   ("Default DevMode"), and a queue made without one has none stored,
//   though it reports one.
std::multiset<std::string> Comparable(const std::string& state)
{
    std::multiset<std::string> lines;
    std::istringstream in(state);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Default DevMode=", 0) == 0)
            continue;
        // "<path> <attributes> <size> <time>", as the state lists a file.
        const std::size_t time = line.rfind(' ');
        const std::size_t size = time == std::string::npos ? time : line.rfind(' ', time - 1);
        const std::size_t attributes = size == std::string::npos ? size : line.rfind(' ', size - 1);
        if (line.rfind("C:\\", 0) == 0 && attributes != std::string::npos) {
            const unsigned long bits =
                std::strtoul(line.substr(attributes + 1, size - attributes - 1).c_str(), nullptr, 16);
            const std::string path = line.substr(0, attributes);
            if ((bits & FILE_ATTRIBUTE_DIRECTORY) || (path.size() > 4 && path.substr(path.size() - 4) == ".ini"))
                line.erase(time);
        }
        lines.insert(line);
    }
    return lines;
}

// The lines of one state that the other lacks, each marked.
std::string Difference(const std::string& before, const std::string& after)
{
    const std::multiset<std::string> a = Comparable(before), b = Comparable(after);
    std::string out;
    for (const std::string& line : a)
        if (b.count(line) < a.count(line))
            out += "- " + line + "\n";
    for (const std::string& line : b)
        if (a.count(line) < b.count(line))
            out += "+ " + line + "\n";
    return out;
}

} // namespace

TEST(Backup, WhatTheRemovalTookIsPutBackFromItsBackupAndTheMachineIsAsBefore)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kPackageScript));
    ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400", true, {}, "{QRV-BACKUP-A}"}) &&
                machine.InstallPrinter({"Lumenta C", "QUORVEL Lumenta 3100"}) && machine.MakeDefault("Lumenta A"));
    // A driver keeps settings of its own beside PrinterDriverData.
    {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterA(const_cast<char*>("Lumenta A"), &printer, &access));
        EXPECT_EQ(SetPrinterDataExA(printer, "QuorvelSettings", "Tray", REG_SZ,
                                    reinterpret_cast<BYTE*>(const_cast<char*>("2")), 2),
                  static_cast<DWORD>(ERROR_SUCCESS));
        ClosePrinter(printer);
    }
    PackageExtras extras;
    ASSERT_TRUE(extras.Ready());
    PackageFiles files;
    // Held as a loaded library is: readable, but not deletable now.
    const std::string loaded = files.system + "QLE2ELOADED.DLL";
    ASSERT_TRUE(bed::WriteFile(loaded, "MZ loaded"));
    const HANDLE held = CreateFileA(loaded.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    AskWhatWineMakesOnFirstRead();
    const BackupFolder backup("qrvbackup");
    const std::string before = MachineState();

    SCOPED_TRACE("the dry run tells the size and writes nothing");
    {
        LogFileOnC log("backup-whatif.log");
        EXPECT_EQ(RunProgram("/WHATIF /BACKUP:" + backup.path + " " + log.Switch()), 0) << Content(log.path);
        EXPECT_TRUE(Logged(ReadLog(log.path), "backup", backup.path, "would write")) << Content(log.path);
        EXPECT_FALSE(Exists(backup.path));
    }

    SCOPED_TRACE("the removal with its backup");
    LogFileOnC removal("backup-removal.log");
    const long removed = RunProgram("/QUIET /BACKUP:" + backup.path + " " + removal.Switch());
    EXPECT_TRUE(removed == 0 || removed == 3010) << removed << "\n" << Content(removal.path);
    EXPECT_FALSE(Listed("Lumenta A"));
    EXPECT_FALSE(Listed("Lumenta C"));
    EXPECT_FALSE(ServiceExists("QrvE2eService"));
    // Held without sharing, it can't be copied: it stays, and says why.
    EXPECT_TRUE(
        Logged(ReadLog(removal.path), "file", files.system + "QLE2EINUSE.DLL", "kept (no copy of it could be read"))
        << Content(removal.path);

    SCOPED_TRACE("put back");
    LogFileOnC restore("backup-restore.log");
    EXPECT_EQ(RunProgram("/RESTORE:" + backup.path + " /QUIET " + restore.Switch()), 3010) << Content(restore.path);
    EXPECT_TRUE(
        Logged(ReadLog(restore.path), "file", loaded, "scheduled for the next start (its copy comes back then)"))
        << Content(restore.path);
    // Still held, the library's deletion waits for the next start, and its
    // copy comes back after it then: both wait in the list, the copy beside.
    const std::string pending = PendingRenames();
    EXPECT_LT(pending.find(loaded), pending.find(loaded + ".restored")) << pending;
    CloseHandle(held);
    std::string after = MachineState();
    const std::size_t listed = after.find(loaded + ".restored ");
    ASSERT_NE(listed, std::string::npos);
    after.erase(listed, after.find('\n', listed) + 1 - listed);
    std::string expected = before;
    const std::size_t pendingLine = expected.find("pending ");
    expected.replace(pendingLine, expected.find('\n', pendingLine) - pendingLine, "pending " + pending);
    EXPECT_EQ(Difference(expected, after), "") << Content(restore.path);
    SCOPED_TRACE("another computer's backup is put back only when forced");
    const std::string manifest = Content(backup.path + "\\manifest.txt");
    const std::size_t computer = manifest.find("computer=");
    ASSERT_NE(computer, std::string::npos);
    ASSERT_TRUE(
        bed::WriteFile(backup.path + "\\manifest.txt", manifest.substr(0, computer) + "computer=ELSEWHERE" +
                                                           manifest.substr(manifest.find_first_of("\t\r", computer))));
    LogFileOnC foreign("backup-foreign.log");
    EXPECT_EQ(RunProgram("/RESTORE:" + backup.path + " /QUIET " + foreign.Switch()), 1603);
    EXPECT_TRUE(
        Logged(ReadLog(foreign.path), "restore", backup.path, "failed (the backup is of computer \"ELSEWHERE\""))
        << Content(foreign.path);
    EXPECT_EQ(RunProgram("/RESTORE:" + backup.path + " /FORCE /QUIET " + foreign.Switch()), 0) << Content(foreign.path);
    EXPECT_TRUE(Logged(ReadLog(foreign.path), "printer", "Lumenta A", "kept (there again; left as it is)"));
    DeleteFileA(loaded.c_str());
    DeleteFileA((loaded + ".restored").c_str());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations");
}

TEST(Backup, ABackupThatCantBeWrittenStopsTheRemovalBeforeItsFirstChange)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kPackageScript) &&
                machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    // Below a file, no folder can be made; a folder holding another
    // backup's manifest is never written over.
    bed::WriteFile("C:\\qrvnotafolder", "a file");
    const BackupFolder taken("qrvtaken");
    CreateDirectoryA(taken.path.c_str(), nullptr);
    bed::WriteFile(taken.path + "\\manifest.txt", "# another backup\r\n");
    for (const std::string& folder : {std::string("C:\\qrvnotafolder\\backup"), taken.path}) {
        SCOPED_TRACE(folder);
        LogFileOnC log("backup-refused.log");
        EXPECT_EQ(RunProgram("/QUIET /BACKUP:" + folder + " " + log.Switch()), 1603);
        const std::vector<LogLine> lines = ReadLog(log.path);
        EXPECT_TRUE(Logged(lines, "backup", folder, "failed")) << Content(log.path);
        EXPECT_FALSE(Logged(lines, "companion program", "QUninstClose_Q", "asked to close"))
            << "not even a change that destroys nothing";
        EXPECT_TRUE(Listed("Lumenta A"));
        EXPECT_TRUE(DriverInstalled("QUORVEL Lumenta 2400"));
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().outcome.find("exit code 1603"), std::string::npos) << Content(log.path);
        LogFileOnC dry("backup-refused-whatif.log");
        EXPECT_EQ(RunProgram("/WHATIF /BACKUP:" + folder + " " + dry.Switch()), 1603) << "as the real run";
        EXPECT_TRUE(Logged(ReadLog(dry.path), "backup", folder, "failed")) << Content(dry.path);
    }
    DeleteFileA("C:\\qrvnotafolder");
    EXPECT_EQ(Content(taken.path + "\\manifest.txt"), "# another backup\r\n");
}

// The office PC of the demo: six printers on four drivers, one masked and
// one of another maker, with all their packages left.
TEST(Backup, TheDemoMachineIsPutBackAsItWas)
{
    machine::Machine machine;
    ASSERT_TRUE(demo::Prepare(machine));
    AskWhatWineMakesOnFirstRead();
    const BackupFolder backup("qrvdemobackup");
    const std::string before = MachineState() + demo::State("now");

    LogFileOnC removal("backup-demo.log");
    EXPECT_EQ(RunProgram("/QUIET /BACKUP:" + backup.path + " " + removal.Switch()), 0) << Content(removal.path);
    EXPECT_FALSE(Listed("Lumenta 2400 (Office)"));
    LogFileOnC restore("backup-demo-restore.log");
    EXPECT_EQ(RunProgram("/RESTORE:" + backup.path + " /QUIET " + restore.Switch()), 0) << Content(restore.path);

    EXPECT_EQ(Difference(before, MachineState() + demo::State("now")), "") << Content(restore.path);
    demo::Remove();
}

namespace {

// A text as the registry editor writes its files: UTF-16 with its mark.
std::string Utf16File(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

} // namespace

// A manifest damaged or edited by hand: a copy named outside the backup's
// folder, a key's text that reaches beyond the key it saved. Neither is
// followed, and the restore says it failed.
TEST(Backup, AnEditedManifestReachesNothingBeyondWhatItSaved)
{
    const BackupFolder backup("qrvedited");
    CreateDirectoryA(backup.path.c_str(), nullptr);
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    ASSERT_TRUE(bed::WriteFile(backup.path + "\\2.reg",
                               Utf16File("Windows Registry Editor Version 5.00\r\n\r\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\Edited]\r\n\"A\"=\"1\"\r\n\r\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QrvPlanted]\r\n\"B\"=\"2\"\r\n")));
    ASSERT_TRUE(bed::WriteFile(
        backup.path + "\\manifest.txt",
        std::string("backup\tversion=1\tcomputer=") + computer +
            "\r\n"
            "file\tpath=C:\\qrvplanted.ini\tattributes=32\tcopy=..\\windows\\win.ini\r\n"
            "registry\toperation=registry key\titem=HKLM\\SOFTWARE\\QUORVEL\\Edited\troot=HKEY_LOCAL_MACHINE\t"
            "path=SOFTWARE\\QUORVEL\\Edited\tshown=HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\Edited\ttree=1\tcopy=2."
            "reg\r\n"));
    // Windows' keys, which no removal takes: a value a record says the
    // removal wrote, and a key a record says it deleted.
    constexpr char kWindows[] = "SOFTWARE\\Microsoft\\QrvWindowsOwn";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kWindows, "Shell", REG_SZ, "keep", 5), ERROR_SUCCESS);
    ASSERT_TRUE(
        bed::WriteFile(backup.path + "\\3.reg",
                       Utf16File("Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\QrvWindowsOwn\\Gone]\r\n\"A\"=\"1\"\r\n")));
    const std::string windows = std::string("HKEY_LOCAL_MACHINE\\") + kWindows;
    ASSERT_TRUE(bed::WriteFile(
        backup.path + "\\manifest.txt",
        Content(backup.path + "\\manifest.txt") +
            "registry change\toperation=default printer\titem=W\troot=HKEY_LOCAL_MACHINE\tpath=" + kWindows +
            "\tshown=" + windows + "\tvalue=Shell\tabsent=1\twritten=keep\r\n" +
            "registry\toperation=registry key\titem=HKLM\\" + kWindows + "\\Gone\troot=HKEY_LOCAL_MACHINE\tpath=" +
            kWindows + "\\Gone\tshown=" + windows + "\\Gone\ttree=1\tcopy=3.reg\r\n"));
    LogFileOnC log("backup-edited.log");

    EXPECT_EQ(RunProgram("/RESTORE:" + backup.path + " /QUIET " + log.Switch()), 1603) << Content(log.path);
    EXPECT_TRUE(ValueExists(kWindows, "Shell"));
    EXPECT_FALSE(bed::MachineKeyExists(std::string(kWindows) + "\\Gone"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kWindows);

    EXPECT_FALSE(Exists("C:\\qrvplanted.ini"));
    EXPECT_FALSE(bed::MachineKeyExists("SOFTWARE\\QrvPlanted"));
    EXPECT_FALSE(bed::MachineKeyExists("SOFTWARE\\QUORVEL\\Edited"));
    const std::vector<LogLine> lines = ReadLog(log.path);
    EXPECT_TRUE(Logged(lines, "file", "C:\\qrvplanted.ini", "failed")) << Content(log.path);
    EXPECT_TRUE(Logged(lines, "registry key", "HKLM\\SOFTWARE\\QUORVEL\\Edited", "failed")) << Content(log.path);

    SCOPED_TRACE("a backup that others than administrators may change is not followed");
    PSECURITY_DESCRIPTOR everyone = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;FA;;;WD)", SDDL_REVISION_1, &everyone,
                                                                     nullptr));
    ASSERT_TRUE(SetFileSecurityA((backup.path + "\\manifest.txt").c_str(), DACL_SECURITY_INFORMATION, everyone));
    LocalFree(everyone);
    LogFileOnC open("backup-open.log");
    EXPECT_EQ(RunProgram("/RESTORE:" + backup.path + " /QUIET " + open.Switch()), 1603);
    EXPECT_TRUE(Logged(ReadLog(open.path), "restore", backup.path,
                       "failed (others than administrators may change " + backup.path + "\\manifest.txt"))
        << Content(open.path);
    EXPECT_FALSE(Logged(ReadLog(open.path), "file", "C:\\qrvplanted.ini", "failed")) << "nothing of it was tried";
    DeleteFileA("C:\\qrvplanted.ini");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QrvPlanted");
}
