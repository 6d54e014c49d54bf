#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/Journal.h"
#include "door/RealDoor.h"
#include "script/LoadLine.h"
#include "spooler/LoadRunEntries.h"
#include "support/OtherUser.h"
#include "system/SystemFixtures.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

constexpr char kRunKey32[] = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

bool HasRunValue(const char* name, const char* runKey = kRunKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// Values of the Run keys a test writes, gone again when it ends.
class RunValues {
public:
    ~RunValues()
    {
        for (const auto& [runKey, name] : names_)
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, runKey.c_str(), name.c_str());
    }
    void Put(const std::string& name, const std::string& command = "x.exe", const char* runKey = kRunKey)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
        RegCloseKey(key);
        names_.emplace_back(runKey, name);
    }

private:
    std::vector<std::pair<std::string, std::string>> names_;
};

struct LoadRunRemoval : testing::Test {
    void Run(const PlatformKind& platform)
    {
        state.Database = &database;
        state.Platform = platform;
        state.Texts.SetModule(GetModuleHandleA(nullptr));
        DeleteLoadRunEntries(state);
    }
    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
};

} // namespace

TEST(LoadLine, OnlyTheFirstOccurrenceCountsAndOnlyAsAWholeWord)
{
    EXPECT_EQ(RemoveLoadWord("abc.exe xabc.exe", "xabc.exe"), std::optional<std::string>("abc.exe "));
    EXPECT_EQ(RemoveLoadWord("xabc.exe abc.exe", "abc.exe"), std::nullopt);
    EXPECT_EQ(RemoveLoadWord("abc.exe qmon.exe def.exe", "qmon.exe"), std::optional<std::string>("abc.exe def.exe"));
    EXPECT_EQ(RemoveLoadWord("qmon.exe def.exe", "qmon.exe"), std::optional<std::string>("def.exe"));
    EXPECT_EQ(RemoveLoadWord("qmon.exe", "qmon.exe"), std::optional<std::string>(""));
    EXPECT_EQ(RemoveLoadWord("qmon.exex", "qmon.exe"), std::nullopt);
    EXPECT_EQ(RemoveLoadWord("", ""), std::nullopt);
}

TEST(LoadLine, EntriesSplitAtTheFirstCommaWithoutTheirQuotes)
{
    const auto quoted = SplitLoadRunEntry("\"Quorvel Monitor\",\"qmon.exe\"");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->display, "Quorvel Monitor");
    EXPECT_EQ(quoted->file, "qmon.exe");

    const auto inner = SplitLoadRunEntry("\"Quorvel, Monitor\",\"qmon.exe\"");
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->display, "Quorvel");
    EXPECT_EQ(inner->file, " Monitor\",\"qmon.exe");

    EXPECT_FALSE(SplitLoadRunEntry("Quorvel Monitor"));
    EXPECT_FALSE(SplitLoadRunEntry(",qmon.exe"));
    EXPECT_FALSE(SplitLoadRunEntry("Quorvel Monitor,"));
    // Nothing but quotes is no name: not the Run key's default value, not
    // a word of every line.
    EXPECT_FALSE(SplitLoadRunEntry("\"\",qmon.exe"));
    EXPECT_FALSE(SplitLoadRunEntry("Quorvel Monitor,\"\""));
}

TEST_F(LoadRunRemoval, OutsideWin32sTheRunKeyLosesTheNamedValuesOnly)
{
    for (const PlatformKind& platform : {systemtest::WindowsXP(), systemtest::Platform(1, 4, 10)}) {
        SCOPED_TRACE(platform.platformClass());
        ASSERT_FALSE(HasRunValue("")) << "the key's default value is free";
        RunValues values;
        for (const char* name : {"", "Quorvel", "Quorvel, Monitor", "OtherMaker"})
            values.Put(name, "qm.exe");
        values.Put("QuorvelMonitor", "qmon.exe");
        database.Merged.DeleteLoadRun = {"\"QuorvelMonitor\",\"qmon.exe\"", "\"Quorvel, Monitor\",\"qm.exe\"",
                                         "\"\",\"qx.exe\"", "OtherMaker"};
        systemtest::SavedLoadLine line;
        line.Set("qmon.exe qm.exe");

        Run(platform);

        EXPECT_FALSE(HasRunValue("QuorvelMonitor"));
        EXPECT_TRUE(HasRunValue("Quorvel")) << "split at the quoted comma, its program is no file name";
        EXPECT_TRUE(HasRunValue("Quorvel, Monitor"));
        EXPECT_TRUE(HasRunValue("OtherMaker"));
        EXPECT_TRUE(HasRunValue(""));
        EXPECT_EQ(systemtest::LoadLine(), "qmon.exe qm.exe");
        EXPECT_EQ(DeleteLoadRunEntry(state, "QuorvelMonitor", "qmon.exe"), 0) << "already gone";
    }
}

TEST(LoadLine, ACommandStartsTheProgramWhoseFileNameItsProgramPartHas)
{
    struct Case {
        const char* command;
        bool starts;
    } const cases[] = {
        {"QRVSTAT.EXE", true},
        {"\"C:\\Program Files\\Quorvel\\qrvstat.exe\" /min", true},
        {"C:\\Program Files\\Quorvel\\QrvStat.exe /min", true}, // unquoted, with spaces
        {"  C:\\PROGRA~1\\Quorvel\\qrvstat -s", true},           // ".exe" left to CreateProcess
        {"C:\\Other\\othermon.exe", false},
        {"C:\\Other\\xqrvstat.exe", false},
        {"C:\\Other\\qrvstat.exe.bak", false},
        {"rundll32.exe C:\\Quorvel\\qrvstat.exe", false}, // an argument, not the program
        {"rundll32 C:\\Other\\qrvstat.exe", false},
        {"cmd /c C:\\Other\\qrvstat.exe", false},
        {"C:\\Other\\launch C:\\Other\\bin\\QRVSTAT.EXE", false},
        {"%SystemRoot%\\system32\\wscript C:\\Other\\qrvstat.exe", false},
        {"qrvstat /min", true},
        {"\"C:\\Other\\othermon.exe\" C:\\Quorvel\\qrvstat.exe", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandStartsProgram(c.command, "QRVSTAT.EXE"), c.starts) << c.command;
    EXPECT_TRUE(CommandStartsProgram("C:\\Quorvel\\qrvstat.exe", "\"qrvstat\""));
}

TEST_F(LoadRunRemoval, ARunValueOfTheEntrysNameStaysWhenItStartsAnotherProgramInEitherView)
{
    RunValues values;
    values.Put("Status Monitor", "C:\\Other\\othermon.exe");
    values.Put("Status Monitor", "\"C:\\Program Files (x86)\\Other\\othermon.exe\" /s", kRunKey32);
    values.Put("Quorvel Monitor", "\"C:\\Program Files\\Quorvel\\QRVSTAT.EXE\" /min");
    values.Put("Quorvel Monitor", "C:\\PROGRA~2\\Quorvel\\qrvstat /min", kRunKey32);
    database.Merged.DeleteLoadRun = {"\"Status Monitor\",\"QRVSTAT.EXE\"", "\"Quorvel Monitor\",\"QRVSTAT.EXE\""};
    std::vector<std::pair<std::string, std::string>> kept;
    journal::SetSink([&](const journal::Entry& e) {
        if (e.Result == journal::Outcome::Kept)
            kept.emplace_back(e.Item, e.Reason);
    });

    Run(systemtest::WindowsXP());
    journal::Reset();

    EXPECT_TRUE(HasRunValue("Status Monitor"));
    EXPECT_TRUE(HasRunValue("Status Monitor", kRunKey32));
    EXPECT_FALSE(HasRunValue("Quorvel Monitor"));
    EXPECT_FALSE(HasRunValue("Quorvel Monitor", kRunKey32));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].first, std::string("HKLM\\") + kRunKey + "\\Status Monitor");
    EXPECT_EQ(kept[0].second, "starts another program: C:\\Other\\othermon.exe");
    EXPECT_EQ(kept[1].first, std::string("HKLM\\") + kRunKey32 + "\\Status Monitor");
}

// A package that started its program for the user who installed it wrote
// the value in that user's hive: the current user's and every other user's
// go by the same rule, another program's value of the name stays.
TEST_F(LoadRunRemoval, EveryUsersRunValueOfTheEntryGoesTooAndAnotherProgramsStays)
{
    constexpr char kUserRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    bed::OtherUser other;
    ASSERT_TRUE(other.SetValue(kUserRun, "Quorvel Monitor", "C:\\Program Files\\Quorvel\\qrvstat.exe"));
    ASSERT_TRUE(other.SetValue(kUserRun, "Status Monitor", "C:\\Other\\othermon.exe"));
    ASSERT_TRUE(other.Save());
    ASSERT_TRUE(other.LogOn());
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kUserRun, "Quorvel Monitor", REG_SZ, "qrvstat.exe", 12),
              ERROR_SUCCESS);
    database.Merged.DeleteLoadRun = {"\"Status Monitor\",\"QRVSTAT.EXE\"", "\"Quorvel Monitor\",\"QRVSTAT.EXE\""};

    Run(systemtest::WindowsXP());

    EXPECT_FALSE(other.ValueThere(kUserRun, "Quorvel Monitor"));
    EXPECT_TRUE(other.ValueThere(kUserRun, "Status Monitor"));
    DWORD size = 0;
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kUserRun, "Quorvel Monitor", RRF_RT_ANY, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(LoadRunRemoval, OnWin32sTheLoadLineLosesTheFileAndIsWrittenInLowerCase)
{
    systemtest::SavedLoadLine line;
    RunValues values;
    values.Put("Quorvel Monitor");
    line.Set("Other.exe QMon.EXE Last.exe");
    database.Merged.DeleteLoadRun = {"\"Quorvel Monitor\",\"qmon.exe\""};

    Run(systemtest::Win32s());

    EXPECT_EQ(systemtest::LoadLine(), "other.exe last.exe");
    EXPECT_TRUE(HasRunValue("Quorvel Monitor"));
    EXPECT_EQ(DeleteLoadRunEntry(state, "Quorvel Monitor", "qmon.exe"), 0);

    // A line longer than it may be can't be read whole; written back cut,
    // it would lose the programs past the cut.
    const std::string longLine = "qmon.exe " + std::string(300, 'a') + ".exe";
    line.Set(longLine.c_str());
    EXPECT_EQ(DeleteLoadRunEntry(state, "Quorvel Monitor", "qmon.exe"), 0);
    EXPECT_EQ(systemtest::LoadLine(), longLine);
}
