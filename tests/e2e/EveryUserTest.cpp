// The people who printed have traces in their own profiles: a removal run
// by an administrator (or by a deployment tool as the system account) takes
// them from every user's hive and Start menu. The other user here is not
// logged on: the program loads their hive for the run and unloads it. This
// platform does not write such a hive back to its file on unload, as
// Windows does, so what went from it is read from the log; the shortcut is
// a file and shows itself. Their connections to a print server's queue are
// not here: this platform's spooler makes none, and the spooler stand-in's
// server names reach them in the printer tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "e2e/Runs.h"
#include "machine/Machine.h"
#include "support/OtherUser.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

constexpr char kUserScript[] = "[UnPrinterDrivers]\r\n"
                               "\"QUORVEL Lumenta 2400\",Lum,3\r\n"
                               "[Lum.RegistryKeys]\r\nHKCU,\"Software\\QUORVEL\\E2eUser\",,1\r\n"
                               "[Lum.Shortcuts]\r\n\"QUORVEL E2e Tools\",\"Status.exe\"\r\n\"QUORVEL E2e Tools\"\r\n";

struct UserWithTraces {
    UserWithTraces()
    {
        other.MakeKey("Software\\QUORVEL\\E2eUser\\Sub");
        // Their own settings of the queue, and the queue as their default.
        other.SetValue("Printers\\DevModes2", "Lumenta A", "settings");
        other.SetValue("Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device",
                       "Lumenta A,winspool,FILE:");
        other.SetValue("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "Programs",
                       "%USERPROFILE%\\Start Menu\\Programs");
        saved = other.Save();
        CreateDirectoryA((other.folder + "\\Start Menu").c_str(), nullptr);
        CreateDirectoryA((other.folder + "\\Start Menu\\Programs").c_str(), nullptr);
        CreateDirectoryA(group.c_str(), nullptr);
        bed::WriteFile(group + "\\Status.lnk", "shortcut");
    }
    ~UserWithTraces()
    {
        DeleteFileA((group + "\\Status.lnk").c_str());
        RemoveDirectoryA(group.c_str());
        RemoveDirectoryA((other.folder + "\\Start Menu\\Programs").c_str());
        RemoveDirectoryA((other.folder + "\\Start Menu").c_str());
    }
    bed::OtherUser other;
    bool saved = false;
    const std::string group = other.folder + "\\Start Menu\\Programs\\QUORVEL E2e Tools";
};

} // namespace

TEST(EveryUser, AnotherUsersKeysAndShortcutsGoAndTheirHiveIsUnloadedOrKeptWhenHeld)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kUserScript) &&
                machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    const UserWithTraces user;
    ASSERT_TRUE(user.saved);
    const std::string userKey = std::string("HKU\\") + bed::OtherUser::kSid + "\\Software\\QUORVEL\\E2eUser";

    SCOPED_TRACE("its hive held by another process");
    {
        const HANDLE held = CreateFileA(user.other.HiveFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        LogFileOnC log("every-user-held.log");
        EXPECT_EQ(RunProgram("/WHATIF " + log.Switch()), 0);
        CloseHandle(held);
        const std::vector<LogLine> lines = ReadLog(log.path);
        EXPECT_TRUE(Logged(lines, "user profile", std::string("HKU\\") + bed::OtherUser::kSid,
                           "kept (its hive " + user.other.HiveFile() + " could not be loaded"))
            << Content(log.path);
        EXPECT_TRUE(Logged(lines, "printer", "Lumenta A", "would remove")) << "the rest goes on";
        EXPECT_TRUE(Exists(user.group + "\\Status.lnk"));
    }

    SCOPED_TRACE("loaded for the look, and for the run");
    LogFileOnC dry("every-user-whatif.log");
    EXPECT_EQ(RunProgram("/WHATIF " + dry.Switch()), 0);
    EXPECT_TRUE(Logged(ReadLog(dry.path), "registry key", userKey, "would remove")) << Content(dry.path);
    EXPECT_TRUE(Exists(user.group + "\\Status.lnk"));
    EXPECT_FALSE(bed::HiveLoaded("QrvUninst_1")) << "the dry run unloads what it loaded";

    LogFileOnC log("every-user.log");
    EXPECT_EQ(RunProgram("/QUIET " + log.Switch()), 0) << Content(log.path);
    const std::vector<LogLine> lines = ReadLog(log.path);
    EXPECT_TRUE(Logged(lines, "registry key", userKey, "removed")) << Content(log.path);
    const std::string hive = std::string("HKU\\") + bed::OtherUser::kSid;
    EXPECT_TRUE(Logged(lines, "printer trace", hive + "\\Printers\\DevModes2\\Lumenta A", "removed"));
    EXPECT_TRUE(Logged(lines, "default printer",
                       hive + "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\\Device", "removed"))
        << "no queue of this computer stays";
    EXPECT_FALSE(Exists(user.group + "\\Status.lnk"));
    EXPECT_FALSE(Exists(user.group)) << "the group's folder, emptied";
    EXPECT_FALSE(bed::HiveLoaded("QrvUninst_1"));
    EXPECT_FALSE(bed::HiveLoaded(bed::OtherUser::kSid));
}
