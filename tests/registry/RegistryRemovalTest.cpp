#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "SplProxyFaults.h"
#include "door/DryRunDoor.h"
#include "door/RealDoor.h"
#include "door/RegistryTree.h"
#include "machine/Machine.h"
#include "system/IniRemoval.h"
#include "support/JournalCapture.h"
#include "support/OtherUser.h"
#include "support/VersionRecord.h"
#include "support/WineBed.h"
#include "system/RegistryRemoval.h"

namespace {

constexpr char kBase[] = "SOFTWARE\\QUORVEL\\RegTest";

std::string Under(const std::string& name) { return std::string(kBase) + "\\" + name; }

void MakeKey(const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Only the test's own key: created fresh, removed with everything below it.
struct RegistryRemoval : testing::Test {
    void SetUp() override
    {
        SplProxyFault_Clear();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kBase);
    }
    void TearDown() override
    {
        SplProxyFault_Clear();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kBase);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL"); // only when nothing else is in it
    }
    void Run(std::initializer_list<std::string> entries) { RunThrough(door, entries); }
    void RunThrough(Door& through, std::initializer_list<std::string> entries)
    {
        database.Merged.RegistryKeys.assign(entries);
        RemovalState state{through};
        state.Database = &database;
        RemoveRegistryKeys(state);
    }
    UninstallDatabase database;
    RealDoor door;
};

} // namespace

TEST_F(RegistryRemoval, SubkeyGoesBeforeItsParentAndMalformedEntriesAreSkipped)
{
    MakeKey(Under("Parent\\Child"));
    MakeKey(Under("Full"));
    MakeKey(Under("OneComma"));
    MakeKey(Under("Long"));
    // Anything after a fourth comma is ignored; this entry is too long all the same.
    const std::string longEntry = "HKLM," + Under("Long") + ",,1," + std::string(300, 'x');
    Run({"HKLM," + Under("OneComma"),
         "HKLM," + Under("Parent") + ",,",
         "hklm," + Under("Parent\\Child") + ",\"\",",
         "HKEY_LOCAL_MACHINE,\"" + Under("Full") + "\",,1",
         longEntry});
    // A plain delete of Parent fails while Child is there: only the
    // descending order takes both.
    EXPECT_FALSE(bed::MachineKeyExists(Under("Parent\\Child")));
    EXPECT_FALSE(bed::MachineKeyExists(Under("Parent")));
    EXPECT_TRUE(bed::MachineKeyExists(Under("Full")));
    EXPECT_TRUE(bed::MachineKeyExists(Under("OneComma")));
    EXPECT_TRUE(bed::MachineKeyExists(Under("Long")));
}

// The guard, as a table: what Windows and every program share, which no
// script may take whatever it names, and what a maker's package owns.
TEST_F(RegistryRemoval, WindowsKeysAndTheirValuesNeverGoAndAMakersKeysDo)
{
    const char* const windows[] = {
        "HKLM,\"\",,1", "HKLM,,,", "HKLM,SOFTWARE,,1", "HKLM,SYSTEM,,", "HKCR,,,1", "HKU,.DEFAULT,,1",
        "HKLM,SOFTWARE\\Microsoft,,1", "HKLM,software\\classes\\,,1", "HKLM,SOFTWARE\\Policies,,",
        "HKLM,SOFTWARE\\Wow6432Node,,1", "HKCU,Software,,1", "HKCU,Software\\Microsoft,,1",
        // Below Microsoft, in both views and for a user too.
        "HKLM,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run,,1",
        "HKCU,Software\\Microsoft\\Windows\\CurrentVersion\\Run,,",
        "HKLM,SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run,,1",
        "HKLM,SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion,,1",
        "HKLM,SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print,,1",
        "HKLM,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall,,1",
        // What every program shares below HKCR.
        "HKCR,CLSID,,1", "HKCR,Interface,,1", "HKCR,*,,1", "HKCR,.txt,,1", "HKCR,Directory,,1",
        "HKCR,Wow6432Node\\CLSID,,1", "HKCR,Wow6432Node\\Interface,,1", "HKCR,exefile\\shell\\open\\command,,1",
        "HKCR,*\\shellex\\ContextMenuHandlers,,1", "HKCR,.txt\\ShellNew,,1",
        "HKLM,SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers,,1", "HKLM,SOFTWARE\\Clients,,1",
        // Outside SOFTWARE and SYSTEM: the machine's hardware, a user's
        // settings of Windows, another user's too.
        "HKLM,HARDWARE\\DESCRIPTION,,1", "HKCU,Control Panel\\Desktop,,1", "HKCU,Keyboard Layout\\Preload,,1",
        "HKCU,Printers\\DevModes2,,1", "HKCU,Environment,Path,", "HKU,S-1-5-21-1-2-3-1001\\Control Panel\\Desktop,,1",
        "HKLM,SOFTWARE\\Clients\\Mail,,1",
        // The control sets, the device tree, the spooler's lists and its own.
        "HKLM,SYSTEM\\CurrentControlSet\\Control,,1", "HKLM,SYSTEM\\ControlSet001,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Enum\\USB,,1", "HKLM,SYSTEM\\ControlSet001\\Enum\\USBPRINT,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\QUORVELLUMENTA_2400,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\USB Monitor,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port,,",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\winprint,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e979-e325-11ce-bfc1-08002be10318},,1",
        // Services Windows installs, and the spooler's.
        "HKLM,SYSTEM\\CurrentControlSet\\Services\\Spooler,,1", "HKLM,SYSTEM\\CurrentControlSet\\Services\\usbprint,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Services\\usbprint\\Parameters,,",
        "HKLM,SYSTEM\\\\CurrentControlSet\\\\Services\\\\QWinLike,,1",
        // Values of such keys.
        "HKLM,SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon,Shell,",
        "HKLM,SOFTWARE\\Microsoft,QuorvelRegTestValue,", "HKLM,SYSTEM\\CurrentControlSet\\Services\\usbprint,Start,",
    };
    const char* const maker[] = {
        "HKLM,SOFTWARE\\QUORVEL\\RegTest\\Owned,,1", "HKLM,SOFTWARE\\QUORVEL\\RegTest,Version,",
        "HKCR,CLSID\\{5A0E2C11-0000-4000-8000-000000000001},,1",
        "HKCR,Wow6432Node\\CLSID\\{5A0E2C11-0000-4000-8000-000000000001},,1", "HKCR,QuorvelRegTest.Document\\shell,,1",
        "HKLM,SOFTWARE\\Classes\\CLSID\\{5A0E2C11-0000-4000-8000-000000000001},,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Services\\QrvRegTestService,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Services\\QrvRegTestService\\Parameters,Port,",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\QUORVEL RegTest Monitor,,1",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\QUORVEL RegTest,,",
        "HKLM,SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\QrvRegTest,,1",
        "HKLM,SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QUORVEL RegTest,,1",
        "HKLM,SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qrvregtest.exe,,1",
    };
    database.Merged.Services = {"QrvRegTestService"};
    database.Merged.RegistryKeys.assign(std::begin(windows), std::end(windows));
    database.Merged.RegistryKeys.insert(database.Merged.RegistryKeys.end(), std::begin(maker), std::end(maker));
    // A dry run: nothing is touched whatever the guard decides.
    DryRunDoor dry;
    RemovalState state{dry};
    state.Database = &database;
    const JournalCapture journal;

    RemoveRegistryKeys(state);

    const auto keptByTheGuard = [&](const std::string& line) {
        const std::optional<RegistryEntry> entry = ReadRegistryEntry(line);
        if (!entry)
            return false;
        for (const JournalCapture::Line& told : journal.lines) {
            if (told.item == entry->Item)
                return told.result == journal::Outcome::Kept && told.reason != "holds other keys";
        }
        return false;
    };
    for (const char* line : windows)
        EXPECT_TRUE(keptByTheGuard(line)) << line << "\n" << journal.Dump();
    for (const char* line : maker)
        EXPECT_FALSE(keptByTheGuard(line)) << line << "\n" << journal.Dump();
}

// On a 64-bit Windows a 32-bit utility of the package writes its keys where
// the registry keeps them for 32-bit programs: they go with the 64-bit ones
// a script names, by the same decision, and the log names the view.
TEST_F(RegistryRemoval, AKeyGoesInTheThirtyTwoBitViewWhereItIsThereToo)
{
    constexpr char kWow[] = "SOFTWARE\\Wow6432Node\\QUORVEL\\RegTest";
    constexpr char kClsid[] = "{5A0E2C11-0000-4000-8000-0000000000F1}";
    MakeKey(Under("Both\\Sub"));
    MakeKey(std::string(kWow) + "\\Both\\Sub");
    MakeKey(std::string(kWow) + "\\Valued");
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (std::string(kWow) + "\\Valued").c_str(), "Version", REG_SZ, "1", 2),
              ERROR_SUCCESS);
    HKEY classes = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string("Wow6432Node\\CLSID\\") + kClsid).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &classes, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(classes);
    DryRunDoor dry;
    for (Door* through : {static_cast<Door*>(&dry), static_cast<Door*>(&door)}) {
        const bool real = through == &door;
        SCOPED_TRACE(real ? "real run" : "dry run");
        const JournalCapture journal;
        RunThrough(*through, {"HKLM,SOFTWARE\\QUORVEL\\RegTest\\Both,,1", "HKLM,SOFTWARE\\QUORVEL\\RegTest\\Valued,Version,",
                              std::string("HKCR,CLSID\\") + kClsid + ",,1"});
        const journal::Outcome gone = real ? journal::Outcome::Removed : journal::Outcome::WouldRemove;
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, std::string("HKLM\\") + kWow + "\\Both", gone))
            << journal.Dump();
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, "HKLM\\" + Under("Both"), gone)) << journal.Dump();
        EXPECT_TRUE(journal.Only(journal::op::kRegistryValue, std::string("HKLM\\") + kWow + "\\Valued\\Version", gone))
            << journal.Dump();
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, std::string("HKCR\\Wow6432Node\\CLSID\\") + kClsid, gone))
            << journal.Dump();
        EXPECT_EQ(bed::MachineKeyExists(std::string(kWow) + "\\Both"), !real);
    }
    EXPECT_FALSE(bed::MachineKeyExists(Under("Both")));

    SCOPED_TRACE("what a printer that stays names in the 32-bit view keeps both");
    MakeKey(Under("Shared"));
    MakeKey(std::string(kWow) + "\\Shared\\Staying");
    database.KeepList.RegistryKeys = {"HKLM,SOFTWARE\\Wow6432Node\\QUORVEL\\RegTest\\Shared\\Staying,,1"};
    const JournalCapture journal;
    Run({"HKLM,SOFTWARE\\QUORVEL\\RegTest\\Shared,,1"});
    EXPECT_TRUE(bed::MachineKeyExists(std::string(kWow) + "\\Shared\\Staying"));
    EXPECT_TRUE(bed::MachineKeyExists(Under("Shared")));
    EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, std::string("HKLM\\") + kWow + "\\Shared", journal::Outcome::Kept))
        << journal.Dump();

    SCOPED_TRACE("and what it names in the 64-bit view keeps the 32-bit key a going script names");
    {
        MakeKey(std::string(kWow) + "\\Native");
        MakeKey(Under("Native"));
        database.KeepList.RegistryKeys = {"HKLM,SOFTWARE\\QUORVEL\\RegTest\\Native,,1"};
        const JournalCapture named32;
        Run({"HKLM,SOFTWARE\\Wow6432Node\\QUORVEL\\RegTest\\Native,,1"});
        EXPECT_TRUE(bed::MachineKeyExists(std::string(kWow) + "\\Native"));
        EXPECT_TRUE(named32.Only(journal::op::kRegistryKey, std::string("HKLM\\") + kWow + "\\Native",
                                 journal::Outcome::Kept))
            << named32.Dump();
    }
    database.KeepList.RegistryKeys.clear();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\QUORVEL");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("Wow6432Node\\CLSID\\") + kClsid).c_str());
}

// The user's keys a script names are every user's: another user's hive is
// reached where Windows has it loaded, loaded from the profile when it is
// not and unloaded again, dry run or not; a hive that can't be loaded is
// kept with the reason, and the rest of the run goes on.
TEST_F(RegistryRemoval, AUsersKeyGoesFromEveryUsersHiveLoadedOrNot)
{
    bed::OtherUser other;
    ASSERT_TRUE(other.MakeKey("Software\\QUORVEL\\RegTestUser\\Sub"));
    ASSERT_TRUE(other.SetValue("Software\\QUORVEL\\RegTestUser", "Version", "1"));
    ASSERT_TRUE(other.Save());
    const std::string userItem = std::string("HKU\\") + bed::OtherUser::kSid + "\\Software\\QUORVEL\\RegTestUser";
    const OSVERSIONINFOA windows7 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1);
    const auto run = [&](Door& through) {
        database.Merged.RegistryKeys = {"HKCU,Software\\QUORVEL\\RegTestUser,,1"};
        RemovalState state{through};
        state.Database = &database;
        state.Platform = PlatformKind(&windows7);
        RemoveRegistryKeys(state);
        state.Users.Release();
    };

    SCOPED_TRACE("logged on");
    ASSERT_TRUE(other.LogOn());
    DryRunDoor dry;
    {
        const JournalCapture journal;
        run(dry);
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, userItem, journal::Outcome::WouldRemove)) << journal.Dump();
        EXPECT_TRUE(other.KeyThere("Software\\QUORVEL\\RegTestUser\\Sub"));
    }
    {
        const JournalCapture journal;
        run(door);
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, userItem, journal::Outcome::Removed)) << journal.Dump();
        EXPECT_FALSE(other.KeyThere("Software\\QUORVEL\\RegTestUser"));
        EXPECT_TRUE(other.KeyThere("Software\\QUORVEL")) << "only what the script names";
    }
    other.LogOff();

    SCOPED_TRACE("not logged on: loaded for the run, unloaded after it");
    {
        // A run that was ended while it had the hive loaded left it so: a
        // dry run leaves it and tells, the real run unloads it. A name that
        // is only like ours is another program's.
        ASSERT_TRUE(other.LogOn("QrvUninst_7"));
        {
            const JournalCapture journal;
            run(dry);
            EXPECT_TRUE(bed::HiveLoaded("QrvUninst_7"));
            EXPECT_TRUE(journal.Only("user profile", "HKU\\QrvUninst_7", journal::Outcome::WouldChange))
                << journal.Dump();
        }
        other.LogOff();
        ASSERT_TRUE(other.LogOn("QrvUninst_7"));
        const JournalCapture journal;
        run(door);
        EXPECT_FALSE(bed::HiveLoaded("QrvUninst_7")) << "unloaded by the next run";
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, userItem, journal::Outcome::Removed)) << journal.Dump();
        EXPECT_FALSE(bed::HiveLoaded("QrvUninst_1"));
        EXPECT_FALSE(bed::HiveLoaded(bed::OtherUser::kSid));
    }

    SCOPED_TRACE("its hive held by another process");
    {
        const HANDLE held = CreateFileA(other.HiveFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const JournalCapture journal;
        run(door);
        CloseHandle(held);
        const auto told = journal.Of("user profile", std::string("HKU\\") + bed::OtherUser::kSid);
        ASSERT_EQ(told.size(), 1u) << journal.Dump();
        EXPECT_EQ(told.front().result, journal::Outcome::Kept);
        EXPECT_NE(told.front().reason.find("could not be loaded"), std::string::npos) << told.front().reason;
        EXPECT_TRUE(journal.Of(journal::op::kRegistryKey, userItem).empty()) << journal.Dump();
    }
}

// A user's Software\Classes is a hive of its own, UsrClass.dat, which
// Windows loads beside theirs as HKEY_USERS\<SID>_Classes; the NTUSER.DAT
// of a user who is not logged on holds none of it.
TEST_F(RegistryRemoval, AUsersClassesGoFromTheirOwnClassesHiveInBothViews)
{
    bed::OtherUser other;
    ASSERT_TRUE(other.MakeKey("Software\\QUORVEL"));
    ASSERT_TRUE(other.MakeClassesKey("CLSID\\{QRV-CLS}\\InprocServer32"));
    ASSERT_TRUE(other.MakeClassesKey("Wow6432Node\\CLSID\\{QRV-CLS}"));
    ASSERT_TRUE(other.MakeClassesKey("CLSID\\{QRV-OTHER}"));
    ASSERT_TRUE(other.Save() && other.SaveClasses());
    const std::string classes = std::string("HKU\\") + bed::OtherUser::kSid + "_Classes";
    const OSVERSIONINFOA windows7 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1);
    const auto run = [&] {
        database.Merged.RegistryKeys = {"HKCU,Software\\Classes\\CLSID\\{QRV-CLS},,1"};
        RemovalState state{door};
        state.Database = &database;
        state.Platform = PlatformKind(&windows7);
        RemoveRegistryKeys(state);
        state.Users.Release();
    };

    SCOPED_TRACE("logged on");
    ASSERT_TRUE(other.LogOn());
    {
        const JournalCapture journal;
        run();
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, classes + "\\CLSID\\{QRV-CLS}", journal::Outcome::Removed))
            << journal.Dump();
        EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, classes + "\\Wow6432Node\\CLSID\\{QRV-CLS}",
                                 journal::Outcome::Removed))
            << journal.Dump();
        EXPECT_FALSE(bed::HiveLoaded(classes.substr(4) + "\\CLSID\\{QRV-CLS}"));
        EXPECT_FALSE(bed::HiveLoaded(classes.substr(4) + "\\Wow6432Node\\CLSID\\{QRV-CLS}"));
        EXPECT_TRUE(bed::HiveLoaded(classes.substr(4) + "\\CLSID\\{QRV-OTHER}"));
    }
    other.LogOff();

    SCOPED_TRACE("not logged on: both hives loaded for the run, unloaded after it");
    const JournalCapture journal;
    run();
    EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, classes + "\\CLSID\\{QRV-CLS}", journal::Outcome::Removed))
        << journal.Dump();
    for (const char* name : {"QrvUninst_1", "QrvUninst_2", "QrvUninst_3"})
        EXPECT_FALSE(bed::HiveLoaded(name)) << name;
}

TEST_F(RegistryRemoval, TreeWithARefusingSubkeyGoesAfterItsAccessListIsReplaced)
{
    MakeKey(Under("Tree\\Deny\\Deeper"));
    MakeKey(Under("Tree\\Other"));
    SplProxyFault_Set("RegDeleteKeyA", ERROR_ACCESS_DENIED, 1); // Deeper, the first to go
    EXPECT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, Under("Tree").c_str()));
    SplProxyFault_Clear();
    EXPECT_FALSE(bed::MachineKeyExists(Under("Tree")));
    EXPECT_TRUE(bed::MachineKeyExists(kBase));
}

namespace {

// Everyone may read the key, nothing more: a list the removal would never write.
void SetReadOnlyList(const std::string& path)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    alignas(DWORD) BYTE aclBytes[256] = {};
    const auto acl = reinterpret_cast<PACL>(aclBytes);
    ASSERT_TRUE(InitializeAcl(acl, sizeof aclBytes, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone));
    SECURITY_DESCRIPTOR descriptor{};
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
    FreeSid(everyone);
}

// The rights of the key's access entries, in order.
std::string Rights(const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, READ_CONTROL, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return "no key";
    alignas(DWORD) BYTE bytes[4096] = {};
    DWORD size = sizeof bytes;
    const LONG status = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, bytes, &size);
    RegCloseKey(key);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    if (status != ERROR_SUCCESS || !GetSecurityDescriptorDacl(bytes, &present, &acl, &defaulted) || !present || !acl)
        return "no list";
    std::ostringstream out;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        GetAce(acl, i, &ace);
        out << std::hex << static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask << ";";
    }
    return out.str();
}

} // namespace

TEST_F(RegistryRemoval, KeyThatStillRefusesGetsItsOwnAccessListBack)
{
    MakeKey(Under("Kept\\Deny"));
    SetReadOnlyList(Under("Kept\\Deny"));
    std::ostringstream readOnly;
    readOnly << std::hex << KEY_READ << ";";
    ASSERT_EQ(Rights(Under("Kept\\Deny")), readOnly.str());
    SplProxyFault_Set("RegDeleteKeyA", ERROR_ACCESS_DENIED, 2); // both tries on Deny
    EXPECT_FALSE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, Under("Kept").c_str()));
    SplProxyFault_Clear();
    ASSERT_TRUE(bed::MachineKeyExists(Under("Kept\\Deny")));
    EXPECT_EQ(Rights(Under("Kept\\Deny")), readOnly.str());
}

namespace {

std::string WindowsFile(const char* name)
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\" + name;
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(IniRemoval, ListedKeyLineIsCutFromTheWindowsDirectorysFileOfThatName)
{
    const std::string first = WindowsFile("QuorvelRegTest1.ini");
    const std::string second = WindowsFile("QuorvelRegTest2.ini");
    for (const std::string& path : {first, second})
        std::ofstream(path, std::ios::binary) << "[Sec]\r\nKeep=1\r\nGone=2\r\n[Other]\r\nGone=3\r\n";
    UninstallDatabase database;
    database.Merged.DeleteIni = {"QuorvelRegTest1.ini,Sec,Gone",
                                 "C:\\Elsewhere\\QuorvelRegTest2.ini,Sec,Gone,ignored",
                                 "QuorvelRegTest1.ini,Other,", ",Other,Gone"};
    RealDoor door;
    RemovalState state{door};
    state.Database = &database;
    RemoveIniEntries(state);
    EXPECT_EQ(Contents(first), "[Sec]\r\nKeep=1\r\n[Other]\r\nGone=3\r\n");
    EXPECT_EQ(Contents(second), "[Sec]\r\nKeep=1\r\n[Other]\r\nGone=3\r\n");
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
}

// On NT the sections of WIN.INI that Windows keeps in the registry are read
// and changed through the profile functions; the file holds none of them.
TEST(IniRemoval, OnNtAWinIniEntryGoesWhereWindowsKeepsIt)
{
    ASSERT_TRUE(WriteProfileStringA("Devices", "QuorvelIniTest", "winspool,FILE:"));
    WriteProfileStringA(nullptr, nullptr, nullptr);
    char value[64] = {};
    ASSERT_GT(GetProfileStringA("Devices", "QuorvelIniTest", "", value, sizeof value), 0u);
    UninstallDatabase database;
    database.Merged.DeleteIni = {"win.ini,Devices,QuorvelIniTest"};
    RealDoor door;
    RemovalState state{door};
    state.Database = &database;
    const OSVERSIONINFOA windows7 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1);
    state.Platform = PlatformKind(&windows7);
    const JournalCapture journal;

    RemoveIniEntries(state);

    EXPECT_EQ(GetProfileStringA("Devices", "QuorvelIniTest", "", value, sizeof value), 0u) << value;
    EXPECT_EQ(journal.lines.size(), 1u) << journal.Dump();
    EXPECT_EQ(journal.lines.front().result, journal::Outcome::Removed) << journal.Dump();

    // Its other sections are Windows' settings, which no script takes.
    ASSERT_TRUE(WriteProfileStringA("windows", "QuorvelIniTest", "x"));
    database.Merged.DeleteIni = {"win.ini,windows,QuorvelIniTest", "system.ini,boot,Shell"};
    RemoveIniEntries(state);
    EXPECT_GT(GetProfileStringA("windows", "QuorvelIniTest", "", value, sizeof value), 0u);
    WriteProfileStringA("windows", "QuorvelIniTest", nullptr);
    EXPECT_EQ(journal.lines.size(), 3u) << journal.Dump();
    for (std::size_t i = 1; i < journal.lines.size(); ++i)
        EXPECT_EQ(journal.lines[i].result, journal::Outcome::Kept) << journal.Dump();
}

// WIN.INI's lists name printers and ports: a printer that stays keeps its
// entries, and a port stays while a printer that stays prints through it or
// when Windows makes it, whatever a script lists. Wine keeps [Ports] in the
// file, so that section is seen as Windows 98 has it.
TEST(IniRemoval, WinIniEntriesOfAPrinterThatStaysAndPortsInUseOrOfWindowsStay)
{
    machine::Machine bed;
    machine::Printer staying("QuorvelIniStays", "Other Maker Ini Driver", false);
    staying.port = "QRVINI:";
    ASSERT_TRUE(bed.InstallPrinter(staying));
    for (const char* section : {"Devices", "PrinterPorts"}) {
        ASSERT_TRUE(WriteProfileStringA(section, "QuorvelIniStays", "winspool,QRVINI:"));
        ASSERT_TRUE(WriteProfileStringA(section, "QuorvelIniGone", "winspool,QRVINI:"));
    }
    UninstallDatabase database;
    database.Merged.DeleteIni = {"win.ini,Devices,quorvelinistays", "win.ini,PrinterPorts,QuorvelIniStays",
                                 "win.ini,Devices,QuorvelIniGone", "win.ini,PrinterPorts,QuorvelIniGone"};
    RealDoor door;
    RemovalState state{door};
    state.Database = &database;
    const OSVERSIONINFOA windows7 = bed::VersionRecord(VER_PLATFORM_WIN32_NT, 6, 1);
    state.Platform = PlatformKind(&windows7);

    RemoveIniEntries(state);

    char value[64] = {};
    for (const char* section : {"Devices", "PrinterPorts"}) {
        EXPECT_GT(GetProfileStringA(section, "QuorvelIniStays", "", value, sizeof value), 0u) << section;
        EXPECT_EQ(GetProfileStringA(section, "QuorvelIniGone", "", value, sizeof value), 0u) << section;
        WriteProfileStringA(section, "QuorvelIniStays", nullptr);
    }

    SCOPED_TRACE("ports");
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string winIni = std::string(windows) + "\\win.ini";
    for (const char* port : {"QRVINI:", "LPT1:", "COM12:", "FILE:", "QRVFREE:"})
        ASSERT_TRUE(WritePrivateProfileStringA("Ports", port, "", winIni.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, winIni.c_str());
    database.Merged.DeleteIni = {"win.ini,Ports,QRVINI:", "win.ini,Ports,LPT1:", "win.ini,Ports,com12:",
                                 "win.ini,Ports,FILE:", "win.ini,Ports,QRVFREE:"};
    const OSVERSIONINFOA windows98 = bed::VersionRecord(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    state.Platform = PlatformKind(&windows98);
    state.Printers.Forget();

    RemoveIniEntries(state);

    WritePrivateProfileStringA(nullptr, nullptr, nullptr, winIni.c_str());
    const auto listed = [&](const char* port) {
        char text[16] = {};
        GetPrivateProfileStringA("Ports", port, "(none)", text, sizeof text, winIni.c_str());
        return std::string(text) != "(none)";
    };
    for (const char* port : {"QRVINI:", "LPT1:", "COM12:", "FILE:"})
        EXPECT_TRUE(listed(port)) << port;
    EXPECT_FALSE(listed("QRVFREE:"));
    for (const char* port : {"QRVINI:", "LPT1:", "COM12:", "FILE:"})
        WritePrivateProfileStringA("Ports", port, nullptr, winIni.c_str());
}

TEST_F(RegistryRemoval, ADryRunDeletesNoKeyOrValueAndTheRealRunReportsEach)
{
    using journal::Outcome;
    using journal::op::kRegistryKey;
    using journal::op::kRegistryValue;
    MakeKey(Under("Tree\\Sub"));
    MakeKey(Under("Plain"));
    MakeKey(Under("Values"));
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, Under("Values").c_str(), "Val", REG_SZ, "x", 2), ERROR_SUCCESS);
    const std::initializer_list<std::string> entries = {
        "HKLM," + Under("Tree") + ",,1", "HKLM," + Under("Plain") + ",,", "HKLM," + Under("Values") + ",Val,",
        "HKLM," + Under("Missing") + ",,", "HKLM,SOFTWARE,,1"};
    const std::string tree = "HKLM\\" + Under("Tree");
    const std::string plain = "HKLM\\" + Under("Plain");
    const std::string value = "HKLM\\" + Under("Values") + "\\Val";
    const std::string missing = "HKLM\\" + Under("Missing");
    {
        const JournalCapture journal;
        DryRunDoor dry;
        RunThrough(dry, entries);
        EXPECT_TRUE(bed::MachineKeyExists(Under("Tree\\Sub")));
        EXPECT_TRUE(bed::MachineKeyExists(Under("Plain")));
        EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, Under("Values").c_str(), "Val", RRF_RT_ANY, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_TRUE(journal.Only(kRegistryKey, tree, Outcome::WouldRemove)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, plain, Outcome::WouldRemove)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryValue, value, Outcome::WouldRemove)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, missing, Outcome::NotPresent)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, "HKLM\\SOFTWARE", Outcome::Kept)) << journal.Dump();
    }
    {
        const JournalCapture journal;
        Run(entries);
        EXPECT_FALSE(bed::MachineKeyExists(Under("Tree")));
        EXPECT_FALSE(bed::MachineKeyExists(Under("Plain")));
        EXPECT_TRUE(journal.Only(kRegistryKey, tree, Outcome::Removed)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, plain, Outcome::Removed)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryValue, value, Outcome::Removed)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, missing, Outcome::NotPresent)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, "HKLM\\SOFTWARE", Outcome::Kept)) << journal.Dump();
    }
    // A refused deletion carries the spooler's answer.
    MakeKey(Under("Plain"));
    SplProxyFault_Set("RegDeleteKeyA", ERROR_ACCESS_DENIED, -1);
    const JournalCapture journal;
    Run({"HKLM," + Under("Plain") + ",,"});
    const std::vector<JournalCapture::Line> refused = journal.Of(kRegistryKey, plain);
    ASSERT_EQ(refused.size(), 1u) << journal.Dump();
    EXPECT_EQ(refused.front().result, Outcome::Failed);
    EXPECT_EQ(refused.front().error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(RegistryRemoval, OneKeyInTwoSpellingsIsToldOnceAndKeysAddedInCaseOnlyWhenThere)
{
    using journal::Outcome;
    using journal::op::kRegistryKey;
    MakeKey(Under("Twice\\Sub"));
    MakeKey(Under("Added"));
    // What the driver step adds: one key there, one the spooler took.
    database.RunAdditions.RegistryKeys = {"HKLM,\"" + Under("Added") + "\",\"\",0",
                                          "HKLM,\"" + Under("Taken") + "\",\"\",0"};
    const std::initializer_list<std::string> entries = {
        "HKLM,\"" + Under("Twice") + "\",,1", "hklm," + Under("Twice") + ",\"\",0",
        "HKLM,\"" + Under("Added") + "\",\"\",0", "HKLM,\"" + Under("Taken") + "\",\"\",0",
        "HKLM," + Under("Listed") + ",,"};
    for (const bool dry : {true, false}) {
        SCOPED_TRACE(dry ? "dry run" : "real run");
        const JournalCapture journal;
        DryRunDoor dryDoor;
        RunThrough(dry ? static_cast<Door&>(dryDoor) : door, entries);
        const Outcome gone = dry ? Outcome::WouldRemove : Outcome::Removed;
        EXPECT_TRUE(journal.Only(kRegistryKey, "HKLM\\SOFTWARE\\QUORVEL\\RegTest\\Twice", gone)) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, "HKLM\\SOFTWARE\\QUORVEL\\RegTest\\Added", gone)) << journal.Dump();
        EXPECT_TRUE(journal.Of(kRegistryKey, "HKLM\\SOFTWARE\\QUORVEL\\RegTest\\Taken").empty()) << journal.Dump();
        EXPECT_TRUE(journal.Only(kRegistryKey, "HKLM\\SOFTWARE\\QUORVEL\\RegTest\\Listed", Outcome::NotPresent))
            << journal.Dump();
    }
    EXPECT_FALSE(bed::MachineKeyExists(Under("Twice")));
    EXPECT_FALSE(bed::MachineKeyExists(Under("Added")));
}

TEST_F(RegistryRemoval, WhatADryRunCantReadItListsAsTheRealRunWouldTryIt)
{
    using journal::Outcome;
    MakeKey(Under("Locked"));
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, Under("Locked").c_str(), "Val", REG_SZ, "x", 2), ERROR_SUCCESS);
    // Its access list lets nobody read it: only "not found" says it is not there.
    SplProxyFault_Set("RegOpenKeyExA", ERROR_ACCESS_DENIED, -1);
    const JournalCapture journal;
    DryRunDoor dry;
    RunThrough(dry, {"HKLM," + Under("Locked") + ",,1", "HKLM," + Under("Locked") + ",Val,"});
    SplProxyFault_Clear();
    EXPECT_TRUE(journal.Only(journal::op::kRegistryKey, "HKLM\\" + Under("Locked"), Outcome::WouldRemove))
        << journal.Dump();
    EXPECT_TRUE(journal.Only(journal::op::kRegistryValue, "HKLM\\" + Under("Locked") + "\\Val", Outcome::WouldRemove))
        << journal.Dump();
}

TEST(IniRemoval, ADryRunLeavesTheLineAndListsItsEntry)
{
    const std::string path = WindowsFile("QuorvelRegTest3.ini");
    const std::string content = "[Sec]\r\nKeep=1\r\nGone=2\r\n";
    std::ofstream(path, std::ios::binary) << content;
    UninstallDatabase database;
    database.Merged.DeleteIni = {"QuorvelRegTest3.ini,Sec,Gone", "QuorvelRegTest3.ini,Sec,Absent"};
    RealDoor door;
    RemovalState state{door};
    state.Database = &database;
    {
        const JournalCapture journal;
        DryRunDoor dry;
        RemovalState dryState{dry};
        dryState.Database = &database;
        RemoveIniEntries(dryState);
        EXPECT_EQ(Contents(path), content);
        EXPECT_TRUE(journal.Only(journal::op::kIniEntry, path + " [Sec] Gone", journal::Outcome::WouldRemove))
            << journal.Dump();
        EXPECT_TRUE(journal.Only(journal::op::kIniEntry, path + " [Sec] Absent", journal::Outcome::NotPresent))
            << journal.Dump();
    }
    const JournalCapture journal;
    RemoveIniEntries(state);
    EXPECT_EQ(Contents(path), "[Sec]\r\nKeep=1\r\n");
    EXPECT_TRUE(journal.Only(journal::op::kIniEntry, path + " [Sec] Gone", journal::Outcome::Removed))
        << journal.Dump();
    DeleteFileA(path.c_str());
}
