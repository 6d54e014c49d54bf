#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "door/RealDoor.h"
#include "spooler/LoadLine.h"
#include "spooler/LoadRunEntries.h"
#include "system/SystemFixtures.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

bool HasRunValue(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// Values of the Run key a test writes, gone again when it ends.
class RunValues {
public:
    ~RunValues()
    {
        for (const std::string& name : names_)
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, name.c_str());
    }
    void Put(const std::string& name)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("x.exe"), 6);
        RegCloseKey(key);
        names_.push_back(name);
    }

private:
    std::vector<std::string> names_;
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
        for (const char* name : {"", "QuorvelMonitor", "Quorvel", "Quorvel, Monitor", "OtherMaker"})
            values.Put(name);
        database.Merged.DeleteLoadRun = {"\"QuorvelMonitor\",\"qmon.exe\"", "\"Quorvel, Monitor\",\"qm.exe\"",
                                         "\"\",\"qx.exe\"", "OtherMaker"};
        systemtest::SavedLoadLine line;
        line.Set("qmon.exe qm.exe");

        Run(platform);

        EXPECT_FALSE(HasRunValue("QuorvelMonitor"));
        EXPECT_FALSE(HasRunValue("Quorvel"));
        EXPECT_TRUE(HasRunValue("Quorvel, Monitor"));
        EXPECT_TRUE(HasRunValue("OtherMaker"));
        EXPECT_TRUE(HasRunValue(""));
        EXPECT_EQ(systemtest::LoadLine(), "qmon.exe qm.exe");
        EXPECT_EQ(DeleteLoadRunEntry(state, "QuorvelMonitor", "qmon.exe"), 0) << "already gone";
    }
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
