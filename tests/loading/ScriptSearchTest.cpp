#include <gtest/gtest.h>

#include <string>

#include "SplProxyFaults.h"
#include "engine/AdminCheck.h"
#include "machine/Machine.h"
#include "script/FileSpec.h"
#include "script/ScriptSearch.h"
#include "support/WineBed.h"

namespace {

std::string SystemDirectory()
{
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\";
}

std::string CurrentDirectory()
{
    char path[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, path);
    std::string s(path);
    return s.back() == '\\' ? s : s + "\\";
}

} // namespace

TEST(ScriptSearch, FilesOfThatNameOnlyAndTheProgramDirectoryIsCurrentAfterwards)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript("C:\\search-a", "[UnPrinterDrivers]\r\nX,Y\r\n"));
    ASSERT_TRUE(machine.PutScript("C:\\search-a\\inner", "[UnPrinterDrivers]\r\nX,Y\r\n"));
    // A directory of the script's name is no script.
    CreateDirectoryA("C:\\search-b", nullptr);
    CreateDirectoryA("C:\\search-b\\Xrmv___Q.unm", nullptr);
    SetCurrentDirectoryA("C:\\windows");

    ItemList scripts;
    SearchScripts(scripts, "C:\\search-a\\", kUninstallScriptName);
    SearchScripts(scripts, "C:\\search-b\\", kUninstallScriptName);
    // Without its trailing backslash the directory itself is searched, not
    // its parent.
    SearchScripts(scripts, "C:\\search-a\\inner", kUninstallScriptName);
    // A directory that doesn't exist finds nothing, even when the current
    // directory holds a script.
    SetCurrentDirectoryA("C:\\search-a");
    SearchScripts(scripts, "C:\\search-missing\\", kUninstallScriptName);
    SearchScripts(scripts, "", kUninstallScriptName);
    EXPECT_EQ(scripts, (ItemList{"C:\\search-a\\Xrmv___Q.unm", "C:\\search-a\\inner\\Xrmv___Q.unm"}));
    EXPECT_EQ(CurrentDirectory(), bed::TestDirectory());

    RemoveDirectoryA("C:\\search-b\\Xrmv___Q.unm");
    RemoveDirectoryA("C:\\search-b");
}

TEST(ScriptSearch, NothingButFullPathsIsSearchedNotEvenWhenTheDriverDirectoryIsUnknown)
{
    // A script at the root of drive C:, where any user may make a folder.
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript("C:\\3", "[UnPrinterDrivers]\r\nX,Y\r\n"));
    SetCurrentDirectoryA("C:\\");

    ItemList scripts;
    for (const char* relative : {"\\3\\", "3\\", "3", "C:3\\"}) {
        SearchScripts(scripts, relative, kUninstallScriptName);
        SetCurrentDirectoryA("C:\\");
    }
    EXPECT_TRUE(scripts.empty()) << scripts.front();

    SCOPED_TRACE("the driver directory unresolved: no \"3\" of the current drive");
    SplProxyFault_Set("GetPrinterDriverDirectoryA", ERROR_INVALID_ENVIRONMENT, -1);
    FileSpec spec;
    spec.Resolve(location::PrinterDriverDirectory);
    EXPECT_STREQ(spec.AppendSubdirectory("3"), "");
    EXPECT_STREQ(spec.directory, "");
    SetCurrentDirectoryA("C:\\");
    FindUninstallScripts(scripts);
    SplProxyFault_Clear();
    EXPECT_TRUE(scripts.empty()) << scripts.front();
}

TEST(ScriptSearch, TheFourDirectoriesSortedWithoutDuplicates)
{
    machine::Machine machine;
    const std::string drivers = machine::DriverDirectory();
    ASSERT_TRUE(machine.PutScript(drivers, "[UnPrinterDrivers]\r\nX,Y\r\n"));
    ASSERT_TRUE(machine.PutScript(drivers + "3", "[UnPrinterDrivers]\r\nX,Y\r\n"));
    ASSERT_TRUE(machine.PutScript(bed::TestDirectory(), "[UnPrinterDrivers]\r\nX,Y\r\n"));
    ASSERT_TRUE(machine.PutScript(SystemDirectory(), "[UnPrinterDrivers]\r\nX,Y\r\n"));

    ItemList scripts{drivers + "XRMV___Q.UNM"}; // already listed, in other letter case
    FindUninstallScripts(scripts);
    ItemList expected{drivers + "XRMV___Q.UNM", drivers + "3\\Xrmv___Q.unm", bed::TestDirectory() + "Xrmv___Q.unm",
                      SystemDirectory() + "Xrmv___Q.unm"};
    SortItems(expected);
    EXPECT_EQ(scripts, expected);
}

TEST(AdminCheck, TheBedRunsAsAdministratorAndOlderPlatformsAlwaysPass)
{
    EXPECT_TRUE(IsAdministrator(PlatformKind()));
    OSVERSIONINFOA win9x{sizeof win9x, 4, 10, 0, VER_PLATFORM_WIN32_WINDOWS, ""};
    EXPECT_TRUE(IsAdministrator(PlatformKind(&win9x)));
    OSVERSIONINFOA win32s{sizeof win32s, 3, 11, 0, VER_PLATFORM_WIN32s, ""};
    EXPECT_TRUE(IsAdministrator(PlatformKind(&win32s)));
}
