#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SplProxyFaults.h"
#include "common/ServiceHandle.h"
#include "door/DryRunDoor.h"
#include "door/FileDeletion.h"
#include "door/RealDoor.h"
#include "machine/Machine.h"
#include "spooler/StayingComponents.h"
#include "support/JournalCapture.h"
#include "support/OtherUser.h"
#include "support/VersionRecord.h"
#include "support/WineBed.h"
#include "system/FileProtection.h"
#include "system/FileSweep.h"
#include "system/MachineFolders.h"
#include "system/ScriptFiles.h"

namespace {

constexpr char kRoot[] = "C:\\filetest\\";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    ASSERT_TRUE(bed::WriteFile(path, "x")) << path;
    SetFileAttributesA(path.c_str(), attributes);
}

void RemoveTree(const std::string& directory)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = directory + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}

std::string Content(const std::string& path)
{
    std::string content;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            content.append(buffer, n);
        std::fclose(f);
    }
    return content;
}

// The paths Windows deletes at its next start, as the platform records them.
std::string PendingDeletions()
{
    char data[16384] = {};
    DWORD size = sizeof data - 2;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                 "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data, &size);
    std::string all(data, size);
    for (char& c : all)
        if (c == '\0')
            c = '|';
    return all;
}

// A file another handle holds open without sharing.
struct HeldFile {
    explicit HeldFile(const std::string& path)
    {
        MakeFile(path);
        handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~HeldFile() { CloseHandle(handle); }
    HANDLE handle;
};

PlatformKind Windows10()
{
    const OSVERSIONINFOA v = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 10, 0);
    return PlatformKind(&v);
}

// 1 when the file is gone now, or never was, or its path is refused; 0 when
// it waits for the next start of Windows.
int DeleteOrSchedule(Door& door, const PlatformKind& platform, const std::string& path)
{
    const FileFate fate = door.DeleteOrScheduleFile(journal::op::kFile, platform, path.c_str());
    return fate == FileFate::Scheduled || fate == FileFate::Failed ? 0 : 1;
}

// The file step as the removal runs it: what the drivers that stay use is
// read first.
void RemoveFiles(RemovalState& state)
{
    ReadStayingDriverFiles(state);
    ReadStayingPrograms(state);
    RemoveScriptFiles(state);
}

struct Files : testing::Test {
    void SetUp() override
    {
        RemoveTree(kRoot);
        CreateDirectoryA(kRoot, nullptr);
        state.Database = &database;
        state.Platform = Windows10();
        database.KeptPrinterCount = 1;
    }
    void TearDown() override
    {
        SetProtectionTest(nullptr);
        SplProxyFault_Clear();
        RemoveTree(kRoot);
    }
    static std::string At(const std::string& relative) { return kRoot + relative; }

    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
};

} // namespace

TEST_F(Files, AMissingFileCountsAsDeletedAndAFileInUseWaitsForTheNextStart)
{
    EXPECT_EQ(DeleteOrSchedule(door, state.Platform, At("missing.dll").c_str()), 1);
    EXPECT_EQ(DeleteOrSchedule(door, state.Platform, At("no-such-folder\\missing.dll").c_str()), 1);

    // Listed files in a system folder: one read-only, one held open.
    const std::string system = At("sys\\");
    state.SystemFolders = {system};
    MakeFile(system + "readonly.dll", FILE_ATTRIBUTE_READONLY);
    const HeldFile held(system + "inuse.dll");
    database.Merged.Files = {"readonly.dll", "inuse.dll=ignored", "=skipped.dll"};
    MakeFile(system + "skipped.dll");
    RemoveFiles(state);

    EXPECT_FALSE(Exists(system + "readonly.dll"));
    EXPECT_TRUE(Exists(system + "inuse.dll"));
    EXPECT_TRUE(Exists(system + "skipped.dll"));
    EXPECT_EQ(database.RestartRequired, 1u);
    EXPECT_EQ(database.RestartReason, system + "inuse.dll is in use");
    EXPECT_NE(PendingDeletions().find(system + "inuse.dll"), std::string::npos) << PendingDeletions();
}

TEST_F(Files, ALocationThatResolvedEmptyNeverNamesAFileOfTheCurrentDirectory)
{
    MakeFile(At("cwd\\victim.dll"));
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(At("cwd").c_str()));
    state.SystemFolders = {""};
    state.SpoolerFolders = {""};
    database.Merged.Files = {"victim.dll"};
    database.KeptPrinterCount = 0;
    RemoveFiles(state);
    const int direct = DeleteOrSchedule(door, state.Platform, "victim.dll");
    SetCurrentDirectoryA(previous);

    EXPECT_EQ(direct, 1);
    EXPECT_TRUE(Exists(At("cwd\\victim.dll")));
    EXPECT_EQ(database.RestartRequired, 0u);
}

TEST_F(Files, Windows9xAppendsRenameLinesAndNt3ListsThemForTheCompanionDeleter)
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string wininit = std::string(windows) + "\\WININIT.INI";
    DeleteFileA(wininit.c_str());
    const OSVERSIONINFOA v98 = bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    const PlatformKind win98(&v98);
    const HeldFile first(At("a.dll"));
    const HeldFile second(At("b.dll"));
    EXPECT_EQ(DeleteOrSchedule(door, win98, At("a.dll").c_str()), 0);
    EXPECT_EQ(DeleteOrSchedule(door, win98, At("b.dll").c_str()), 0);
    EXPECT_EQ(Content(wininit), "[RENAME]\r\nNUL=" + At("a.dll") + "\r\nNUL=" + At("b.dll") + "\r\n");

    // A file that was there already only gets the line after what it holds.
    ASSERT_TRUE(bed::WriteFile(wininit, "[rename]\r\nNUL=C:\\old.dll"));
    AppendWininitDelete(At("a.dll").c_str());
    EXPECT_EQ(Content(wininit), "[rename]\r\nNUL=C:\\old.dllNUL=" + At("a.dll") + "\r\n");
    DeleteFileA(wininit.c_str());

    const std::string deleter = bed::TestDirectory() + "zwininit.exe";
    const std::string list = bed::TestDirectory() + "zwininit.ini";
    ASSERT_TRUE(bed::WriteFile(deleter, "MZ"));
    DeleteFileA(list.c_str());
    const OSVERSIONINFOA v351 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 3, 51);
    const PlatformKind nt351(&v351);
    EXPECT_EQ(DeleteOrSchedule(door, nt351, At("a.dll").c_str()), 0);
    EXPECT_EQ(DeleteOrSchedule(door, nt351, At("a.dll").c_str()), 0);
    EXPECT_EQ(Content(list), "[RENAME]\r\n" + At("a.dll") + "=NUL\r\n");
    DeleteFileA(list.c_str());
    DeleteFileA(deleter.c_str());
}

TEST_F(Files, TheTreeWalkReachesTwoLevelsDownAndNeverEntersDotFoldersOrLinks)
{
    const std::string tree = At("D\\");
    for (const char* file : {"f", "a\\f", "a\\g", "a\\b\\f", "a\\b\\c\\f", ".hidden\\f", "n\\f\\f"})
        MakeFile(tree + file);
    const int pending = DeleteNamedFilesInTree(door, state.Platform, tree.c_str(), SweepNames({"F", "g"}), 2, false);
    EXPECT_EQ(pending, 0);
    EXPECT_FALSE(Exists(tree + "f"));
    EXPECT_FALSE(Exists(tree + "a\\f"));
    EXPECT_FALSE(Exists(tree + "a\\g"));
    EXPECT_FALSE(Exists(tree + "a\\b\\f"));
    EXPECT_TRUE(Exists(tree + "a\\b\\c\\f"));
    EXPECT_TRUE(Exists(tree + ".hidden\\f"));
    // A folder of a listed name is walked, not deleted.
    EXPECT_TRUE(Exists(tree + "n\\f"));
    EXPECT_FALSE(Exists(tree + "n\\f\\f"));

    // C:\bed-links\tree\away is a link of the bed's to C:\bed-links\outside.
    const std::string linked = "C:\\bed-links\\";
    ASSERT_TRUE(GetFileAttributesA((linked + "tree\\away").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    MakeFile(linked + "tree\\f");
    MakeFile(linked + "outside\\f");
    DeleteNamedFilesInTree(door, state.Platform, (linked + "tree").c_str(), SweepNames({"f"}), 3, true);
    EXPECT_FALSE(Exists(linked + "tree\\f"));
    EXPECT_TRUE(Exists(linked + "outside\\f"));
    EXPECT_TRUE(Exists(linked + "tree\\away"));
    DeleteFileA((linked + "outside\\f").c_str());
}

TEST_F(Files, OemFoldersAreSweptOnlyWhenTheyAreTheMakersOwn)
{
    // The machine's folders as a 64-bit Windows names them.
    const MachineFolders machine({"C:\\Windows\\System32\\", "C:\\Program Files\\", "C:\\Program Files (x86)\\",
                                  "C:\\ProgramData\\", "C:\\Users\\ann\\AppData\\Roaming\\"},
                                 "C:\\Users", "C:\\Windows", {"C:\\Windows\\System32\\spool\\drivers\\x64\\"});
    for (const char* refused : {"", "maker\\", "C:", "C:\\", "D:\\", "\\\\server\\share\\", "\\\\server\\share",
                                "c:\\windows\\", "C:\\Windows\\System32", "C:\\PROGRAM FILES\\", "C:\\ProgramData\\",
                                "C:\\Users\\", "C:\\Users\\bob\\", "C:\\Users\\ann\\AppData\\",
                                "C:\\Program Files\\Maker\\..\\", "C:\\Program Files\\.\\",
                                // Other spellings of the same folders.
                                "C:\\\\", "C:\\/", "C:/Windows/", "C:\\Windows.\\", "C:\\Windows \\System32\\",
                                "C:\\PROGRA~1\\", "\\\\?\\C:\\Windows\\", "\\\\.\\C:\\Windows\\",
                                "\\\\localhost\\C$\\Windows\\",
                                // Inside Windows, but outside the spooler's folders.
                                "C:\\Windows\\System32\\drivers\\", "C:\\Windows\\Fonts\\",
                                "C:\\Windows\\System32\\spool\\drivers\\x64\\"})
        EXPECT_FALSE(machine.MaySweep(refused)) << refused;
    // Windows' and every program's folders below Program Files, both views.
    const MachineFolders real;
    char programFiles[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES_COMMONX86, nullptr, 0, programFiles)));
    EXPECT_FALSE(real.MaySweep(programFiles)) << programFiles;
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles)));
    EXPECT_FALSE(real.MaySweep(std::string(programFiles) + "\\Windows NT"));
    for (const char* allowed : {"C:\\Program Files\\Maker\\", "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Maker\\",
                                "C:\\Users\\bob\\Maker\\", "\\\\server\\share\\maker\\", "C:\\Maker"})
        EXPECT_TRUE(machine.MaySweep(allowed)) << allowed;

    // Through the removal: a drive root and a folder of Windows are passed
    // over, the maker's folder is swept and removed once empty.
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string atRoot = "C:\\sweep-probe.dll";
    const std::string inWindows = std::string(windows) + "\\temp\\sweep-probe.dll";
    MakeFile(atRoot);
    MakeFile(inWindows);
    MakeFile(At("Maker\\Tools\\sub\\sweep-probe.dll"));
    // Recorded as installers record folders: without the closing backslash.
    database.Merged.OemFolders = {"C:\\", std::string(windows), At("Maker\\Tools")};
    database.Merged.Files = {"sweep-probe.dll"};
    RemoveFiles(state);
    EXPECT_TRUE(Exists(atRoot));
    EXPECT_TRUE(Exists(inWindows));
    EXPECT_FALSE(Exists(At("Maker\\Tools\\sub")));
    EXPECT_FALSE(Exists(At("Maker\\Tools")));
    DeleteFileA(atRoot.c_str());
    DeleteFileA(inWindows.c_str());
}

TEST_F(Files, AFileADriverThatStaysListsAndAFileWindowsProtectsAreKept)
{
    machine::Machine bed;
    machine::Driver staying("Other Maker Staying Driver");
    staying.dependentFiles = {"shared-core.dll"};
    ASSERT_TRUE(bed.InstallDriver(staying));
    // Its colour profile, as Windows reports it (Wine's drivers have none).
    SplProxyFault_SetColorProfiles("Other Maker Staying Driver", "QFileTest Tone.icm");

    const std::string system = At("sys\\");
    const std::string spool = At("spool\\");
    state.SystemFolders = {system};
    state.SpoolerFolders = {spool};
    for (const std::string& folder : {system, spool + "3\\"}) {
        MakeFile(folder + "shared-core.dll");
        MakeFile(folder + "own.dll");
        MakeFile(folder + "guarded.dll", FILE_ATTRIBUTE_READONLY);
        MakeFile(folder + "qfiletest tone.icm");
    }
    SetProtectionTest([](const char* path) {
        const std::string p(path);
        return p.size() >= 11 && p.compare(p.size() - 11, 11, "guarded.dll") == 0;
    });
    // A monitor that stays loads its library.
    const char monitorKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QFileTest Monitor";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, monitorKey, "Driver", REG_SZ, "qfiletest-mon.dll", 18), ERROR_SUCCESS);
    MakeFile(system + "qfiletest-mon.dll");
    // Other spellings of the kept file name it all the same.
    database.Merged.Files = {"qfiletest-mon.dll", "SHARED-CORE.DLL", "shared-core.dll.", "shared-core.dll ", "shared-core.dll::$DATA",
                             "SHARED~1.DLL", "own.dll", "guarded.dll", "QFILETEST TONE.ICM"};
    RemoveFiles(state);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, monitorKey);
    EXPECT_TRUE(Exists(system + "qfiletest-mon.dll"));

    for (const std::string& folder : {system, spool + "3\\"}) {
        EXPECT_TRUE(Exists(folder + "shared-core.dll")) << folder;
        EXPECT_TRUE(Exists(folder + "qfiletest tone.icm")) << folder;
        EXPECT_FALSE(Exists(folder + "own.dll")) << folder;
        EXPECT_TRUE(Exists(folder + "guarded.dll")) << folder;
        EXPECT_TRUE(GetFileAttributesA((folder + "guarded.dll").c_str()) & FILE_ATTRIBUTE_READONLY) << folder;
    }
    EXPECT_EQ(database.RestartRequired, 0u);
}

// What else stays on the machine uses files too: a service's program, a
// program a Run value starts, a file SharedDLLs counts for more than one
// program. And the file system's own name of a file decides, whichever
// spelling of it a script gives: here full-width letters, which the file
// system folds and A-Z folding does not.
TEST_F(Files, FilesThatStayingServicesStartUpEntriesAndSharersUseAreKept)
{
    const std::string system = At("sys\\");
    state.SystemFolders = {system};
    const std::string fullWidth = bed::Ansi("ＱＦＷ.DLL");
    for (const std::string& name : {std::string("qfiletest-svc.exe"), std::string("qfiletest-stat.exe"),
                                     std::string("qfiletest-shared.dll"), std::string("qfiletest-once.dll"), fullWidth,
                                     std::string("qfiletest-svcdll.dll"), std::string("qfiletest-shared32.dll"),
                                     std::string("qfiletest-long.exe"), std::string("qfiletest-ownkey.dll")})
        MakeFile(system + name);
    const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string command = "\"" + system + "qfiletest-stat.exe\" /min";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, runKey, "QFileTest Status", REG_SZ, command.c_str(),
                    static_cast<DWORD>(command.size() + 1));
    // A command longer than any fixed buffer.
    const std::string longCommand = "\"" + system + "qfiletest-long.exe\" " + std::string(2000, 'x');
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, runKey, "QFileTest Long", REG_SZ, longCommand.c_str(),
                    static_cast<DWORD>(longCommand.size() + 1));
    const char sharedKey32[] = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const DWORD three = 3;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, sharedKey32, "C:\\Other\\qfiletest-shared32.dll", REG_DWORD, &three,
                    sizeof three);
    const char sharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const DWORD two = 2, one = 1;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, sharedKey, "C:\\Other\\qfiletest-shared.dll", REG_DWORD, &two, sizeof two);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, sharedKey, "C:\\Other\\qfiletest-once.dll", REG_DWORD, &one, sizeof one);
    const char monitorKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QFileTest Wide";
    // The monitor names its library in other letters than the file has.
    const std::string fullWidthLower = bed::Ansi("ｑｆｗ.dll");
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, monitorKey, "Driver", REG_SZ, fullWidthLower.c_str(),
                    static_cast<DWORD>(fullWidthLower.size() + 1));
    ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    const std::string image = system + "qfiletest-svc.exe -k";
    ServiceHandle service{CreateServiceA(manager.Get(), "QFileTestSvc", "QFileTestSvc", SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                         image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr)};
    ASSERT_TRUE(service);
    const std::string serviceDll = system + "qfiletest-svcdll.dll";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QFileTestSvc\\Parameters", "ServiceDll",
                    REG_EXPAND_SZ, serviceDll.c_str(), static_cast<DWORD>(serviceDll.size() + 1));
    // svchost reads the library from the service's own key when Parameters
    // has none.
    ServiceHandle hosted{CreateServiceA(manager.Get(), "QFileTestHosted", "QFileTestHosted", SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                        "%SystemRoot%\\System32\\svchost.exe -k QFileTest", nullptr, nullptr, nullptr,
                                        nullptr, nullptr)};
    ASSERT_TRUE(hosted);
    const std::string ownKeyDll = system + "qfiletest-ownkey.dll";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QFileTestHosted", "ServiceDll",
                    REG_EXPAND_SZ, ownKeyDll.c_str(), static_cast<DWORD>(ownKeyDll.size() + 1));
    database.Merged.Files = {"qfiletest-ownkey.dll", "qfiletest-svcdll.dll", "qfiletest-shared32.dll", "qfiletest-long.exe", "qfiletest-svc.exe", "QFILETEST-STAT.EXE", "qfiletest-shared.dll", "qfiletest-once.dll",
                             fullWidth};
    const JournalCapture journal;

    RemoveFiles(state);

    DeleteService(service.Get());
    DeleteService(hosted.Get());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, runKey, "QFileTest Status");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, runKey, "QFileTest Long");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, sharedKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, sharedKey32);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, monitorKey);
    const auto kept = [&](const std::string& name, const std::string& reason) {
        const auto lines = journal.Of(journal::op::kFile, name);
        return lines.size() == 1 && lines.front().result == journal::Outcome::Kept && lines.front().reason == reason;
    };
    EXPECT_TRUE(kept("qfiletest-svc.exe", "the program of service \"QFileTestSvc\"")) << journal.Dump();
    EXPECT_TRUE(kept("QFILETEST-STAT.EXE", std::string("started by HKLM\\") + runKey + "\\QFileTest Status"))
        << journal.Dump();
    EXPECT_TRUE(kept("qfiletest-shared.dll", "shared by 2 programs")) << journal.Dump();
    EXPECT_TRUE(kept("qfiletest-shared32.dll", "shared by 3 programs")) << journal.Dump();
    EXPECT_TRUE(kept("qfiletest-svcdll.dll", "the library of service \"QFileTestSvc\"")) << journal.Dump();
    EXPECT_TRUE(kept("qfiletest-ownkey.dll", "the library of service \"QFileTestHosted\"")) << journal.Dump();
    EXPECT_TRUE(kept("qfiletest-long.exe", std::string("started by HKLM\\") + runKey + "\\QFileTest Long"))
        << journal.Dump();
    EXPECT_FALSE(Exists(system + "qfiletest-once.dll"));
    EXPECT_TRUE(Exists(system + fullWidth)) << journal.Dump();
    EXPECT_TRUE(kept(system + fullWidth, "the library of port monitor \"QFileTest Wide\""))
        << journal.Dump();
}

// A file that neither went nor could be scheduled stays as it is: the next
// start of Windows changes nothing about it, so it asks for none. (This
// platform schedules whatever it is asked to: the door that refuses both is
// the test's.)
TEST_F(Files, AFileThatNeitherWentNorWasScheduledAsksForNoRestart)
{
    struct RefusingDoor : RealDoor {
        FileFate DeleteOrScheduleFile(const char* operation, const PlatformKind&, const char* path) override
        {
            journal::Failed(operation, path, ERROR_ACCESS_DENIED);
            return FileFate::Failed;
        }
    } refusing;
    const std::string system = At("sys\\");
    MakeFile(system + "stuck.dll");
    MakeFile(At("Maker\\sub\\stuck.dll"));
    RemovalState run{refusing};
    run.Database = &database;
    run.Platform = Windows10();
    run.SystemFolders = {system};
    database.Merged.Files = {"stuck.dll"};
    database.Merged.OemFolders = {At("Maker")};

    RemoveFiles(run);

    EXPECT_TRUE(Exists(system + "stuck.dll"));
    EXPECT_EQ(database.RestartRequired, 0u);
}

// A maker's folder emptied but for a file in use goes at the next start
// with it: the file first, then its folders. A folder that still holds
// somebody's file is not scheduled.
TEST_F(Files, FoldersLeftOnlyWithScheduledFilesAreScheduledToo)
{
    MakeFile(At("Maker\\Held\\held.dll"));
    MakeFile(At("Other\\Held\\held.dll"));
    MakeFile(At("Other\\notes.txt"));
    const HeldFile held(At("Maker\\Held\\held.dll"));
    const HeldFile other(At("Other\\Held\\held.dll"));
    database.Merged.Files = {"held.dll"};
    database.Merged.OemFolders = {At("Maker"), At("Other")};
    const std::string before = PendingDeletions();

    RemoveFiles(state);

    const std::string after = PendingDeletions();
    const auto scheduled = [&](const std::string& path) {
        return after.find(path + "|") != std::string::npos && before.find(path + "|") == std::string::npos;
    };
    EXPECT_TRUE(scheduled(At("Maker\\Held\\held.dll"))) << after;
    EXPECT_TRUE(scheduled(At("Maker\\Held"))) << after;
    EXPECT_TRUE(scheduled(At("Maker\\"))) << after;
    EXPECT_TRUE(scheduled(At("Other\\Held"))) << after;
    EXPECT_FALSE(scheduled(At("Other\\"))) << "it holds a file nobody lists";
    EXPECT_LT(after.find(At("Maker\\Held\\held.dll")), after.find(At("Maker\\Held|"))) << "the file first";
}

TEST_F(Files, TheRestartProgramGoesWithTheLastPrinterWhenNothingWaits)
{
    const std::string system = At("sys\\");
    state.SystemFolders = {system};
    MakeFile(system + "ZRESTART.EXE");

    database.KeptPrinterCount = 1;
    RemoveFiles(state);
    EXPECT_TRUE(Exists(system + "ZRESTART.EXE"));

    database.KeptPrinterCount = 0;
    database.RestartRequired = 1;
    RemoveFiles(state);
    EXPECT_TRUE(Exists(system + "ZRESTART.EXE"));

    // A deletion deferred by this very list keeps it too.
    database.RestartRequired = 0;
    const HeldFile held(system + "inuse.dll");
    database.Merged.Files = {"inuse.dll"};
    RemoveFiles(state);
    EXPECT_TRUE(Exists(system + "ZRESTART.EXE"));

    database.RestartRequired = 0;
    database.Merged.Files.clear();
    RemoveFiles(state);
    EXPECT_FALSE(Exists(system + "ZRESTART.EXE"));
}

TEST_F(Files, TheDriverSubdirectoryIsSetOnlyFromAPlainFolderNameAndRemovedWhenEmpty)
{
    PrepareDriverPaths(state);
    const std::string driverDirectory = machine::DriverDirectory();
    EXPECT_EQ(state.PrinterDriverDirectory, driverDirectory);
    EXPECT_STREQ(state.DriverSubdirectory, "");
    RemoveDriverSubdirectory(state);

    for (const char* unsafe : {"..", "..\\..\\temp", "C:\\maker", "\\maker"}) {
        database.Merged.Directorys = {unsafe};
        PrepareDriverPaths(state);
        EXPECT_STREQ(state.DriverSubdirectory, "") << unsafe;
    }

    const std::string own = driverDirectory + "QFileTest\\";
    ASSERT_TRUE(CreateDirectoryA(own.c_str(), nullptr));
    database.Merged.Directorys = {"zz", "QFileTest", "qfiletest"};
    PrepareDriverPaths(state);
    EXPECT_EQ(state.DriverSubdirectory, own);
    RemoveDriverSubdirectory(state);
    EXPECT_FALSE(Exists(own));
    RemoveDirectoryA(own.c_str());
}

TEST_F(Files, ADryRunTouchesNothingAndListsWhatTheRealRunThenDoes)
{
    using journal::Outcome;
    using namespace journal::op;
    machine::Machine bed;
    machine::Driver staying("Other Maker Staying Driver");
    staying.dependentFiles = {"shared-core.dll"};
    machine::Driver going("QFileTest Going Driver");
    going.dependentFiles = {"going-core.dll"};
    ASSERT_TRUE(bed.InstallDriver(staying));
    ASSERT_TRUE(bed.InstallDriver(going));
    const std::string monitors = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
    const std::string stayingMonitor = monitors + "QFileTest Monitor";
    const std::string goingMonitor = monitors + "QFileTest Going Monitor";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, stayingMonitor.c_str(), "Driver", REG_SZ, "qfiletest-mon.dll", 18),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, goingMonitor.c_str(), "Driver", REG_SZ, "going-mon.dll", 14),
              ERROR_SUCCESS);

    const std::string system = At("sys\\");
    const std::string spool = At("spool\\");
    MakeFile(system + "own.dll", FILE_ATTRIBUTE_READONLY);
    MakeFile(spool + "own.dll", FILE_ATTRIBUTE_READONLY);
    for (const char* name : {"shared-core.dll", "going-core.dll", "qfiletest-mon.dll", "going-mon.dll", "guarded.dll"})
        MakeFile(system + name);
    MakeFile(spool + "3\\going-core.dll");
    const HeldFile held(system + "inuse.dll");
    SetProtectionTest([](const char* path) { return std::string(path).find("guarded.dll") != std::string::npos; });
    const std::vector<std::string> listed = {"own.dll", "inuse.dll", "shared-core.dll", "going-core.dll",
                                             "qfiletest-mon.dll", "going-mon.dll", "guarded.dll", "absent.dll",
                                             "SHARED~1.DLL"};
    const std::vector<std::string> gone = {system + "own.dll", spool + "own.dll", system + "inuse.dll",
                                           system + "going-core.dll", spool + "3\\going-core.dll",
                                           system + "going-mon.dll"};
    // What stays, and why, whichever run it is.
    const auto checkKept = [&](const JournalCapture& journal) {
        const auto only = [&](const std::string& item, const std::string& reason) {
            const std::vector<JournalCapture::Line> lines = journal.Of(kFile, item);
            ASSERT_EQ(lines.size(), 1u) << item << "\n" << journal.Dump();
            EXPECT_EQ(lines.front().result, Outcome::Kept) << item;
            EXPECT_EQ(lines.front().reason, reason) << item;
        };
        only("shared-core.dll", "listed by installed driver \"Other Maker Staying Driver\"");
        only("qfiletest-mon.dll", "the library of port monitor \"QFileTest Monitor\"");
        only(system + "guarded.dll", "protected by Windows");
        only("SHARED~1.DLL", "refused as unsafe");
        EXPECT_TRUE(journal.Only(kFile, "absent.dll", Outcome::NotPresent)) << journal.Dump();
        const std::vector<JournalCapture::Line> root = journal.Of(kFolder, "C:\\");
        ASSERT_EQ(root.size(), 1u) << journal.Dump();
        EXPECT_EQ(root.front().reason, "a drive root");
    };
    const auto prepare = [&](RemovalState& run) {
        run.Database = &database;
        run.Platform = Windows10();
        run.SystemFolders = {system};
        run.SpoolerFolders = {spool};
        database.Merged.Files = listed;
        database.Merged.OemFolders = {"C:\\"};
    };

    {
        // The spooler's removal has recorded the driver and the monitor it
        // would remove, the monitor with its key as the monitor step does;
        // both are still installed.
        const std::string pending = PendingDeletions();
        const JournalCapture journal;
        DryRunDoor dryDoor;
        dryDoor.DeleteDriver(nullptr, "QFileTest Going Driver");
        dryDoor.DeletePortMonitor(nullptr, "QFileTest Going Monitor", goingMonitor.c_str(), true);
        dryDoor.DeleteRegistryKey(journal::op::kRegistryKey, ("HKLM\\" + goingMonitor).c_str(), HKEY_LOCAL_MACHINE,
                                  goingMonitor.c_str(), false, true);
        RemovalState dry{dryDoor};
        prepare(dry);
        RemoveFiles(dry);

        for (const std::string& path : gone)
            EXPECT_TRUE(journal.Only(kFile, path, Outcome::WouldRemove)) << path << "\n" << journal.Dump();
        checkKept(journal);
        for (const auto& line : journal.lines)
            EXPECT_TRUE(line.result != Outcome::Removed && line.result != Outcome::Scheduled) << line.item;
        for (const std::string& path : gone)
            EXPECT_TRUE(Exists(path)) << path;
        EXPECT_TRUE(GetFileAttributesA((system + "own.dll").c_str()) & FILE_ATTRIBUTE_READONLY);
        EXPECT_TRUE(GetFileAttributesA((spool + "own.dll").c_str()) & FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(database.RestartRequired, 1u) << "the held file goes at the next start in the real run";
        EXPECT_EQ(PendingDeletions(), pending);

        // Nor does a file held open on Windows 98 get its WININIT.INI line.
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        const std::string wininit = std::string(windows) + "\\WININIT.INI";
        DeleteFileA(wininit.c_str());
        const OSVERSIONINFOA v98 = bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
        EXPECT_EQ(DeleteOrSchedule(dryDoor, PlatformKind(&v98), system + "inuse.dll"), 1);
        EXPECT_FALSE(Exists(wininit));

        // A library a program has loaded can't go now either: the real run
        // schedules it and asks for the restart.
        char systemDirectory[MAX_PATH] = {};
        GetSystemDirectoryA(systemDirectory, MAX_PATH);
        const std::string loaded = system + "loaded.dll";
        ASSERT_TRUE(CopyFileA((std::string(systemDirectory) + "\\version.dll").c_str(), loaded.c_str(), FALSE));
        const HMODULE library = LoadLibraryA(loaded.c_str());
        ASSERT_NE(library, nullptr);
        EXPECT_EQ(dryDoor.DeleteOrScheduleFile(kFile, Windows10(), loaded.c_str()), FileFate::Scheduled);
        FreeLibrary(library);
        DeleteFileA(loaded.c_str());
    }

    // The real run, once the spooler's removal has taken the driver and the
    // monitor away.
    ASSERT_TRUE(DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>("QFileTest Going Driver")));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, goingMonitor.c_str());
    const JournalCapture journal;
    RemovalState real{door};
    prepare(real);
    RemoveFiles(real);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, stayingMonitor.c_str());

    for (const std::string& path : gone) {
        const Outcome expected = path == system + "inuse.dll" ? Outcome::Scheduled : Outcome::Removed;
        EXPECT_TRUE(journal.Only(kFile, path, expected)) << path << "\n" << journal.Dump();
    }
    checkKept(journal);
    EXPECT_EQ(database.RestartRequired, 1u);
}

// A user who is not logged on may start any listed program from their own
// Run key: while their hive can't be read, nothing listed is known to be
// unused.
TEST_F(Files, WhileAUsersHiveCantBeReadTheFilesTheyMayStartStay)
{
    const std::string system = At("sys\\");
    state.SystemFolders = {system};
    MakeFile(system + "qfiletest-user.exe");
    bed::OtherUser other;
    ASSERT_TRUE(other.SetValue("Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Theirs", "qfiletest-user.exe"));
    ASSERT_TRUE(other.Save());
    const HANDLE held = CreateFileA(other.HiveFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    database.Merged.Files = {"qfiletest-user.exe"};
    const JournalCapture journal;

    RemoveFiles(state);
    state.Users.Release();
    CloseHandle(held);

    EXPECT_TRUE(Exists(system + "qfiletest-user.exe"));
    const auto told = journal.Of(journal::op::kFile, "qfiletest-user.exe");
    ASSERT_EQ(told.size(), 1u) << journal.Dump();
    EXPECT_EQ(told.front().result, journal::Outcome::Kept);
    EXPECT_NE(told.front().reason.find(std::string("user HKU\\") + bed::OtherUser::kSid), std::string::npos)
        << told.front().reason;
}
