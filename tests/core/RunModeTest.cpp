#include <gtest/gtest.h>

#include <string>

#include "engine/RunMode.h"

namespace {

RunMode Read(const char* arguments)
{
    return ReadRunMode(SwitchList(std::string("\"C:\\Program Files\\prnuninst.exe\" ") + arguments));
}

} // namespace

TEST(RunMode, QuietAndWhatIfRemoveEveryOfferedPrinterAndNoPickOnlyWithAFilter)
{
    EXPECT_TRUE(Read("-quiet").RemoveAllOffered);
    EXPECT_TRUE(Read("/WhatIf").RemoveAllOffered);
    EXPECT_TRUE(Read("/WhatIf").Unattended());
    EXPECT_FALSE(Read("/NOPICK").RemoveAllOffered) << "without a filter nothing is chosen";
    EXPECT_TRUE(Read("/NOPICK /PRN:\"QUORVEL Lumenta 2400\"").RemoveAllOffered);
    EXPECT_TRUE(Read("/unvelt -nopick").RemoveAllOffered);
    EXPECT_FALSE(Read("/NOPICK /PRN:X").Unattended()) << "NOPICK keeps the window";
    EXPECT_EQ(Read("").BadSwitch, "");
}

TEST(RunMode, TheLogFileIsTakenWithoutItsQuotesAndTheRestartPolicyFromItsSwitch)
{
    const RunMode mode = Read("/QUIET /LOG:\"C:\\Deploy Logs\\printers.log\" /FORCERESTART");
    EXPECT_EQ(mode.LogPath, "C:\\Deploy Logs\\printers.log");
    EXPECT_EQ(mode.Restart, RestartPolicy::Always);
    EXPECT_EQ(Read("/norestart").Restart, RestartPolicy::Never);
    EXPECT_EQ(Read("").Restart, RestartPolicy::Ask);
    EXPECT_TRUE(Read("/?").Usage);
}

TEST(RunMode, UnknownSwitchesValuesThatDoNotParseAndStrayTokensAreBad)
{
    EXPECT_EQ(Read("/QUIET /SILENT").BadSwitch, "/SILENT");
    EXPECT_EQ(Read("/QUIET /LOG").BadSwitch, "/LOG") << "a log without a file";
    EXPECT_EQ(Read("/QUIET /LOG:a.log,b.log").BadSwitch, "/LOG:a.log,b.log");
    EXPECT_EQ(Read("/QUIET:yes").BadSwitch, "/QUIET:yes");
    EXPECT_EQ(Read("/QUIET /PRN").BadSwitch, "/PRN") << "a filter without a driver would offer every printer";
    EXPECT_FALSE(Read("/NORESTART /FORCERESTART").BadSwitch.empty());
    // A tool that quotes the whole switch loses its slash: the filter would
    // be dropped and every printer of the maker removed.
    EXPECT_EQ(Read("/QUIET \"/PRN:QUORVEL Lumenta 2400\"").BadSwitch, "\"/PRN:QUORVEL Lumenta 2400\"");
    EXPECT_EQ(Read("/QUIET  /PRN:A").BadSwitch, "") << "two blanks are one gap";
    // Values the program can't hold in its 256-byte list would match nothing.
    const std::string many = "/QUIET /MFG:" + std::string(200, 'a') + "," + std::string(200, 'b');
    EXPECT_EQ(Read(many.c_str()).BadSwitch, "/MFG");
}
