#include <gtest/gtest.h>

#include <string>

#include "support/WineBed.h"
#include "system/LogOutput.h"

namespace {

journal::Entry Entry(int step, const char* operation, const char* item, journal::Outcome outcome,
                     const char* reason = "", DWORD error = 0)
{
    journal::Entry entry;
    entry.Step = step;
    entry.Operation = operation;
    entry.Item = item;
    entry.Result = outcome;
    entry.Reason = reason;
    entry.Error = error;
    return entry;
}

} // namespace

TEST(LogLine, FiveTabSeparatedFieldsInUtf8WithTheOutcomeSpelledOut)
{
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 8;
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 7;
    time.wMilliseconds = 42;
    const std::string printer = bed::Ansi("経理部 Lumenta");
    const std::string line = AnsiToUtf8(
        ComposeLogLine(Entry(3, "printer", printer.c_str(), journal::Outcome::Kept, "needed by printer \"B\""), time));
    EXPECT_EQ(line, "2026-12-08 09:05:07.042\t3\tprinter\t経理部 Lumenta\tkept (needed by printer \"B\")\r\n");

    EXPECT_EQ(ComposeLogLine(Entry(-1, "spooler", "Spooler", journal::Outcome::Failed, "", 1053), time),
              "2026-12-08 09:05:07.042\tloading\tspooler\tSpooler\tfailed (error 1053)\r\n");
    // A line is one entry: a message's line break or a tab in a name can't
    // start another.
    EXPECT_EQ(ComposeLogLine(Entry(17, "message", "one\ntwo\tthree", journal::Outcome::Message, "OK"), time),
              "2026-12-08 09:05:07.042\t17\tmessage\tone two three\tOK\r\n");
    EXPECT_EQ(OutcomeText(Entry(14, "file", "x", journal::Outcome::Scheduled)), "scheduled for the next start");
    EXPECT_EQ(OutcomeText(Entry(8, "spooler", "Spooler", journal::Outcome::WouldChange, "stop")), "would stop");
}
