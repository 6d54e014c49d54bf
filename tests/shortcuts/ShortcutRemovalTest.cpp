#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "door/DryRunDoor.h"
#include "door/ProgmanDde.h"
#include "door/RealDoor.h"
#include "support/JournalCapture.h"
#include "support/OtherUser.h"
#include "support/VersionRecord.h"
#include "support/WineBed.h"
#include "system/OemPaths.h"
#include "system/Progman.h"
#include "system/ShortcutRemoval.h"

namespace {

constexpr char kGroup[] = "QuorvelShortcutTest";

// The shell's own answer for a folder, made when missing, with its
// backslash; empty when the shell has none.
std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        path[0] == '\0')
        return {};
    return std::string(path) + "\\";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Shortcuts : testing::Test {
    void SetUp() override
    {
        user = ShellFolder(CSIDL_PROGRAMS);
        common = ShellFolder(CSIDL_COMMON_PROGRAMS);
        ASSERT_FALSE(user.empty());
        ASSERT_FALSE(common.empty());
    }
    void TearDown() override
    {
        SetProgmanSender({});
        SetProgmanPresence({});
        for (auto file = made.rbegin(); file != made.rend(); ++file)
            DeleteFileA(file->c_str());
        for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
            RemoveDirectoryA(folder->c_str());
    }
    void Make(const std::string& folder, std::initializer_list<const char*> names)
    {
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
        folders.push_back(folder);
        for (const char* name : names) {
            ASSERT_TRUE(bed::WriteFile(folder + name, "shortcut")) << folder << name;
            made.push_back(folder + name);
        }
    }
    // Records every command; Program Manager is asked only when `forward`.
    void Record(bool forward, bool answer = true)
    {
        SetProgmanSender([this, forward, answer](const char* command) {
            commands.emplace_back(command);
            return forward ? ProgmanExecute(command) : answer;
        });
    }
    void Run(std::initializer_list<std::string> entries) { RunThrough(door, entries); }
    void RunThrough(Door& through, std::initializer_list<std::string> entries)
    {
        database.Merged.Shortcuts.assign(entries);
        RemovalState run{through};
        run.Database = &database;
        run.Platform = state.Platform;
        RemoveShortcuts(run);
    }
    std::string user;
    std::string common;
    std::vector<std::string> made;
    std::vector<std::string> folders;
    std::vector<std::string> commands;
    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
};

} // namespace

// On the NT family a group is its folders: they go once the listed items
// have gone and nothing else is in them. Program Manager is not asked: its
// DeleteGroup takes whatever the folder holds.
TEST_F(Shortcuts, AGroupsItemsGoFirstAndItsFoldersOnlyWhenNothingElseIsInThem)
{
    const std::string userGroup = user + kGroup + "\\";
    const std::string commonGroup = common + kGroup + "\\";
    const std::string other = user + "QuorvelShortcutOther\\Item.LNK";
    Make(user + "QuorvelShortcutOther\\", {"Item.LNK"});
    Record(false);
    // Sorted, the plain item entry follows the bare group and the quoted one
    // precedes it.
    for (const std::string itemEntry : {"QuorvelShortcutTest,Item.exe", "\"QuorvelShortcutTest\",\"Item.exe\""}) {
        SCOPED_TRACE(itemEntry);
        Make(userGroup, {"Item.exe", "Item.LNK", "Item.PIF"});
        Make(commonGroup, {"Item.exe", "Item.LNK", "Item.PIF"});
        Run({itemEntry, "QuorvelShortcutTest", itemEntry});
        EXPECT_TRUE(commands.empty());
        EXPECT_FALSE(Exists(userGroup));
        EXPECT_FALSE(Exists(commonGroup));
        EXPECT_TRUE(Exists(other));
    }

    SCOPED_TRACE("a user's own file in the group");
    Make(userGroup, {"Item.LNK", "my notes.txt"});
    const JournalCapture journal;
    Run({"QuorvelShortcutTest,Item.exe", "QuorvelShortcutTest"});
    EXPECT_FALSE(Exists(userGroup + "Item.LNK"));
    EXPECT_TRUE(Exists(userGroup + "my notes.txt"));
    EXPECT_TRUE(journal.Only(journal::op::kFolder, userGroup, journal::Outcome::Kept)) << journal.Dump();

    SCOPED_TRACE("the Startup group, by the folder it resolves to");
    const std::string startup = ShellFolder(CSIDL_STARTUP);
    const std::string startupName = startup.substr(user.size(), startup.size() - user.size() - 1);
    ASSERT_EQ(startup.rfind(user, 0), 0u) << startup;
    Make(startup, {"QuorvelStartupTest.LNK"});
    Run({startupName + ",QuorvelStartupTest.exe", startupName});
    EXPECT_FALSE(Exists(startup + "QuorvelStartupTest.LNK"));
    EXPECT_TRUE(Exists(startup));
}

// Another user's Start menu holds the group too, where their hive names
// their Programs and Startup folders: the items go from there, and the
// group's folder once it is empty.
TEST_F(Shortcuts, AnotherUsersItemsAndGroupGoFromTheirStartMenuButNotFromAFolderOutsideTheirProfile)
{
    bed::OtherUser other;
    constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    // As Windows writes them; a user may write any folder of the machine
    // into their own hive, as this one does for Startup.
    ASSERT_TRUE(other.SetValue(kShellFolders, "AppData", "%USERPROFILE%\\AppData\\Roaming"));
    ASSERT_TRUE(other.SetValue(kShellFolders, "Programs", "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs"));
    const std::string outside = bed::TestDirectory() + "QuorvelNotAStartMenu";
    ASSERT_TRUE(other.SetValue(kShellFolders, "Startup", outside.c_str()));
    ASSERT_TRUE(other.Save());
    ASSERT_TRUE(other.LogOn());
    const std::string programs = other.folder + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\";
    Make(outside + "\\", {"QuorvelStartupTest.exe", "QuorvelStartupTest.LNK"});
    Make(programs + kGroup + "\\", {"Item.LNK"});
    Make(programs + "QuorvelShortcutKeep\\", {"Item.LNK"});
    Record(false);
    const OSVERSIONINFOA windows7 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1);
    state.Platform = PlatformKind(&windows7);

    const JournalCapture journal;
    Run({std::string(kGroup) + ",Item.exe", kGroup, "QuorvelStartupTest,QuorvelStartupTest.exe,STARTUP"});

    EXPECT_FALSE(Exists(programs + kGroup + "\\Item.LNK"));
    EXPECT_FALSE(Exists(programs + kGroup));
    EXPECT_TRUE(Exists(programs + "QuorvelShortcutKeep\\Item.LNK"));
    EXPECT_TRUE(Exists(outside + "\\QuorvelStartupTest.exe"));
    EXPECT_TRUE(Exists(outside + "\\QuorvelStartupTest.LNK"));
    const auto told = journal.Of(journal::op::kShortcut,
                                 std::string("HKU\\") + bed::OtherUser::kSid + "\\" + kShellFolders + "\\Startup");
    ASSERT_EQ(told.size(), 1u) << journal.Dump();
    EXPECT_EQ(told.front().result, journal::Outcome::Kept);
    other.LogOff();
    // The profile's folders go before the user does.
    TearDown();
    made.clear();
    folders.clear();
    for (std::string folder = programs.substr(0, programs.size() - 1); folder.size() > other.folder.size();
         folder.erase(folder.rfind('\\')))
        RemoveDirectoryA(folder.c_str());
}

TEST_F(Shortcuts, AStartupItemIsSoughtInTheSixFoldersAndAPlainOneOnlyInTheGroups)
{
    // A fresh prefix has no Startup folders until the shell is asked to make
    // them, and the alternate ones (the user's and the common) have no path
    // under Wine at all: the removal must pass those over, never looking in
    // the current directory or at its drive's root.
    std::vector<std::string> folderSet = {user + kGroup + "\\", common + kGroup + "\\"};
    for (int csidl : {CSIDL_STARTUP, CSIDL_ALTSTARTUP, CSIDL_COMMON_STARTUP, CSIDL_COMMON_ALTSTARTUP})
        if (const std::string folder = ShellFolder(csidl); !folder.empty())
            folderSet.push_back(folder);
    ASSERT_GE(folderSet.size(), 4u);
    for (const std::string& folder : folderSet)
        Make(folder, {"QuorvelTool.exe", "QuorvelTool.LNK", "QuorvelTool.PIF"});
    const std::string startup = ShellFolder(CSIDL_STARTUP);
    Make(startup, {"QuorvelPlain.LNK"});
    Make(user + kGroup + "\\", {"QuorvelPlain.LNK"});
    const std::string current = bed::TestDirectory() + "QuorvelCurrent\\";
    Make(current, {"QuorvelTool.LNK"});
    Make(current + kGroup + "\\", {"QuorvelTool.LNK"});
    const std::string currentRoot = current.substr(0, 3);
    Make(currentRoot, {"QuorvelTool.LNK"});
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
    Record(false);

    Run({"QuorvelShortcutTest,QuorvelTool.exe,\"startup\"", "QuorvelShortcutTest,QuorvelPlain.exe,other"});
    SetCurrentDirectoryA(previous);

    for (const std::string& folder : folderSet)
        for (const char* name : {"QuorvelTool.exe", "QuorvelTool.LNK", "QuorvelTool.PIF"})
            EXPECT_FALSE(Exists(folder + name)) << folder << name;
    EXPECT_FALSE(Exists(user + kGroup + "\\QuorvelPlain.LNK"));
    EXPECT_TRUE(Exists(startup + "QuorvelPlain.LNK"));
    EXPECT_TRUE(Exists(current + "QuorvelTool.LNK"));
    EXPECT_TRUE(Exists(current + kGroup + "\\QuorvelTool.LNK"));
    EXPECT_TRUE(Exists(currentRoot + "QuorvelTool.LNK"));
    EXPECT_TRUE(commands.empty());
}

// Wine's Program Manager carries out or refuses these commands without a
// trace in the prefix, so the commands themselves are what is checked.
TEST_F(Shortcuts, OnWin32sAnItemGoesThroughProgramManagerOnly)
{
    const OSVERSIONINFOA win32s = bed::VersionRecord(VER_PLATFORM_WIN32s, 3, 10);
    state.Platform = PlatformKind(&win32s);
    Make(user + kGroup + "\\", {"Item.exe", "Item.LNK"});

    Record(false, false);
    Run({"QuorvelShortcutTest,\"Item.exe\""});
    EXPECT_EQ(commands, std::vector<std::string>{"[ShowGroup(QuorvelShortcutTest,1)]"});

    commands.clear();
    Record(false, true);
    Run({"QuorvelShortcutTest,Item.exe"});
    EXPECT_EQ(commands, (std::vector<std::string>{"[ShowGroup(QuorvelShortcutTest,1)]", "[DeleteItem(Item.exe)]"}));
    EXPECT_TRUE(Exists(user + kGroup + "\\Item.exe"));
    EXPECT_TRUE(Exists(user + kGroup + "\\Item.LNK"));
}

TEST_F(Shortcuts, AGroupThatLeadsOutOfTheShortcutFoldersIsPassedOver)
{
    const std::string startMenu = ShellFolder(CSIDL_STARTMENU);
    ASSERT_FALSE(startMenu.empty());
    Make(startMenu, {"QuorvelVictim.LNK"});
    Make(user, {"QuorvelVictim.LNK"});
    Make(user + kGroup + "\\", {"QuorvelVictim.LNK"});
    Make(user + kGroup + "\\Tools\\", {"QuorvelTool.LNK", "QuorvelShortName.LNK"});
    Record(false);

    Run({"QUORVE~1\\Tools,QuorvelTool.exe", "QuorvelShortcutTest\\Tools,QUORVE~1.exe", "..,QuorvelVictim.exe", "QuorvelShortcutTest\\..,QuorvelVictim.exe",
         "QuorvelShortcutTest/../..,QuorvelVictim.exe", "\"QuorvelShortcutTest\\ . \\..\",QuorvelVictim.exe",
         "\\..,QuorvelVictim.exe", "C:,QuorvelVictim.exe", "..", "C:\\users", "\\",
         // The item's directory part is dropped; an inner backslash of the group is a subfolder.
         "QuorvelShortcutTest,..\\QuorvelVictim.exe", "QuorvelShortcutTest\\Tools,QuorvelTool.exe"});

    EXPECT_TRUE(Exists(startMenu + "QuorvelVictim.LNK"));
    EXPECT_TRUE(Exists(user + "QuorvelVictim.LNK"));
    EXPECT_FALSE(Exists(user + kGroup + "\\QuorvelVictim.LNK"));
    EXPECT_FALSE(Exists(user + kGroup + "\\Tools\\QuorvelTool.LNK"));
    // Short 8.3 names may name other groups and items: refused.
    EXPECT_TRUE(Exists(user + kGroup + "\\Tools\\QuorvelShortName.LNK"));
    EXPECT_TRUE(commands.empty()) << commands.front();
}

TEST_F(Shortcuts, ACommandThatWouldCloseEarlyOrBeCutIsNotSent)
{
    Record(false);
    // "[DeleteGroup(Quorvel)][DeleteGroup(Startup)]" would take the Startup group too.
    EXPECT_FALSE(ProgmanDeleteGroup(door, "Quorvel)][DeleteGroup(Startup"));
    EXPECT_FALSE(ProgmanDeleteGroup(door, "Quorvel\"Group"));
    EXPECT_FALSE(ProgmanDeleteGroup(door, "Quorvel[Group"));
    EXPECT_FALSE(ProgmanDeleteItem(door, "Quorvel", "Item)][DeleteGroup(Startup"));
    EXPECT_FALSE(ProgmanDeleteItem(door, "Quorvel,1)][DeleteGroup(Startup", "Item"));
    // 15 characters of command around the name: 48 fit the 63, 49 don't.
    const std::string fits(48, 'Q');
    const std::string tooLong(49, 'Q');
    EXPECT_FALSE(ProgmanDeleteGroup(door, tooLong.c_str()));
    EXPECT_FALSE(ProgmanDeleteItem(door, tooLong.c_str(), "Item"));
    EXPECT_FALSE(ProgmanDeleteItem(door, "Quorvel", (tooLong + "Q").c_str()));
    EXPECT_TRUE(ProgmanDeleteGroup(door, fits.c_str()));
    // Judged by character: the second byte of "ー" is 0x5B, no bracket.
    const std::string japanese = bed::Ansi("QUORVEL ユーティリティ");
    EXPECT_TRUE(ProgmanDeleteGroup(door, japanese.c_str()));
    EXPECT_EQ(commands, (std::vector<std::string>{"[DeleteGroup(" + fits + ")]", "[DeleteGroup(" + japanese + ")]"}));
}

namespace {

constexpr char kOemPaths[] = "SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths";

void RemoveOemPathsKey()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOemPaths);
    // The maker's keys above go only when nothing else is in them.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL");
}

void SetValue(HKEY key, const char* name, DWORD type, const std::string& data)
{
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

} // namespace

// Where Program Manager still takes groups (Windows 9x), a refusal means it
// has no such group, but with no Program Manager to answer (no shell in
// the session) nothing was done: that is a failure. Wine's shell always
// answers, so the test says whether it does.
TEST_F(Shortcuts, AProgramManagerThatDoesNotAnswerIsAFailure)
{
    Make(user + kGroup + "\\", {"notes.txt"});
    const OSVERSIONINFOA windows98 = bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    state.Platform = PlatformKind(&windows98);
    Record(false, false);
    for (const bool answers : {true, false}) {
        SetProgmanPresence([answers] { return answers; });
        const JournalCapture journal;
        Run({kGroup});
        const auto told = journal.Of(journal::op::kProgramGroup, kGroup);
        ASSERT_EQ(told.size(), 1u) << journal.Dump();
        EXPECT_EQ(told.front().result, answers ? journal::Outcome::NotPresent : journal::Outcome::Failed);
    }
    SetProgmanPresence({});
}

TEST_F(Shortcuts, ADryRunSendsNoCommandAndDeletesNoFileButListsBoth)
{
    using journal::Outcome;
    using journal::op::kShortcut;
    const std::string userGroup = user + kGroup + "\\";
    Make(userGroup, {"Item.LNK"});
    Record(false);
    {
        const JournalCapture journal;
        DryRunDoor dry;
        RunThrough(dry, {"QuorvelShortcutTest,Item.exe", "QuorvelShortcutTest,Absent.exe", "QuorvelShortcutTest",
                         "..\\Outside,Item.exe"});
        EXPECT_TRUE(commands.empty());
        EXPECT_TRUE(Exists(userGroup + "Item.LNK"));
        EXPECT_TRUE(journal.Only(kShortcut, userGroup + "Item.LNK", Outcome::WouldRemove)) << journal.Dump();
        EXPECT_TRUE(journal.Only(journal::op::kFolder, userGroup, Outcome::WouldRemove)) << journal.Dump();
        // One line for an item found in none of its folders.
        EXPECT_TRUE(journal.Only(kShortcut, std::string(kGroup) + "\\Absent.exe", Outcome::NotPresent))
            << journal.Dump();
        EXPECT_TRUE(journal.Only(kShortcut, "..\\Outside,Item.exe", Outcome::Kept)) << journal.Dump();
    }
    const JournalCapture journal;
    Run({"QuorvelShortcutTest,Item.exe", "QuorvelShortcutTest"});
    EXPECT_TRUE(commands.empty());
    EXPECT_FALSE(Exists(userGroup + "Item.LNK"));
    EXPECT_TRUE(journal.Only(kShortcut, userGroup + "Item.LNK", Outcome::Removed)) << journal.Dump();
    EXPECT_TRUE(journal.Only(journal::op::kFolder, userGroup, Outcome::Removed)) << journal.Dump();
}

TEST(OemPaths, StringValuesAreAppendedSortedAndUniqueAndTheKeyStays)
{
    RemoveOemPathsKey();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOemPaths, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    using namespace std::string_literals;
    SetValue(key, "First", REG_SZ, "C:\\Quorvel\\Beta\0"s);
    SetValue(key, "Huge", REG_SZ, std::string(299, 'H') + '\0');
    SetValue(key, "Binary", REG_BINARY, "C:\\Quorvel\\Binary\0"s);
    // 260 characters without their NUL: the buffer would end in the middle.
    SetValue(key, "Cut", REG_SZ, "C:\\" + std::string(257, 'C'));
    SetValue(key, "Empty", REG_SZ, "\0"s);
    SetValue(key, "Second", REG_EXPAND_SZ, "%SystemDrive%\\Quorvel\\Alpha\0"s);
    SetValue(key, "Third", REG_SZ, "C:\\Quorvel\\Beta\0"s);
    RegCloseKey(key);

    UninstallDatabase database;
    database.Merged.OemFolders = {"C:\\Quorvel\\Gamma"};
    RealDoor door;
    RemovalState state{door};
    state.Database = &database;
    ReadOemPaths(state);

    EXPECT_EQ(database.Merged.OemFolders,
              (std::vector<std::string>{"C:\\Quorvel\\Alpha", "C:\\Quorvel\\Beta", "C:\\Quorvel\\Gamma"}));
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOemPaths, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 7u);
    RegCloseKey(key);
    RemoveOemPathsKey();
}

// A 32-bit installer records its folder where the registry keeps 32-bit
// programs' keys: that is a maker's folder as well.
TEST(OemPaths, TheRecordsOfBothViewsAreTheMakersFoldersAndNothingElse)
{
    RemoveOemPathsKey();
    const std::string wowKey = "SOFTWARE\\Wow6432Node\\QUORVEL\\OEM_Q\\OEMPaths";
    const std::string programFiles = "C:\\Program Files\\QuorvelOemTwin";
    const std::string programFiles32 = "C:\\Program Files (x86)\\QuorvelOemTwin";
    const std::string only32 = "C:\\Program Files (x86)\\QuorvelOem32";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kOemPaths, "Utility", REG_SZ, programFiles.c_str(),
                              static_cast<DWORD>(programFiles.size() + 1)),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, wowKey.c_str(), "Monitor", REG_SZ, only32.c_str(),
                              static_cast<DWORD>(only32.size() + 1)),
              ERROR_SUCCESS);
    CreateDirectoryA(programFiles.c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA(programFiles32.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
    state.Database = &database;
    ReadOemPaths(state);

    // Sorted as every list is: ' ' comes before '\\'. A folder of the same
    // name below the other Program Files was recorded by nobody: it may be
    // another product's.
    EXPECT_EQ(database.Merged.OemFolders, (std::vector<std::string>{only32, programFiles}));
    RemoveDirectoryA(programFiles.c_str());
    RemoveDirectoryA(programFiles32.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\QUORVEL");
    RemoveOemPathsKey();
}
