#include <gtest/gtest.h>

#include <string>

#include "script/PathParts.h"

namespace {
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
} // namespace

TEST(PathParts, SplitsDriveDirectoryNameAndExtension)
{
    PathParts p;
    p.Split(R"(C:\Tools\prnuninst.exe)");
    EXPECT_STREQ(p.drive, "C:");
    EXPECT_STREQ(p.directory, R"(\Tools\)");
    EXPECT_STREQ(p.name, "prnuninst");
    EXPECT_STREQ(p.extension, ".exe");

    p.Split(R"(C:\Tools\)");
    EXPECT_STREQ(p.directory, R"(\Tools\)");
    EXPECT_STREQ(p.name, "");
    EXPECT_STREQ(p.extension, "");

    // Only the last dot of the file name starts the extension.
    p.Split(R"(\\server\share\v1.2\setup.tar.gz)");
    EXPECT_STREQ(p.drive, "");
    EXPECT_STREQ(p.directory, R"(\\server\share\v1.2\)");
    EXPECT_STREQ(p.name, "setup.tar");
    EXPECT_STREQ(p.extension, ".gz");
}

TEST(PathParts, ShiftJisTrailByteIsNotASeparator)
{
    // "表" is 0x95 0x5C in Shift-JIS: its trail byte is the backslash.
    const std::string dir = "C:\\\x95\x5C\\";
    PathParts p;
    p.Split(dir + "a.txt", ShiftJisLead);
    EXPECT_EQ(std::string(p.directory), "\\\x95\x5C\\");
    EXPECT_STREQ(p.name, "a");

    p.Split("C:\\\x95\x5C", ShiftJisLead);
    EXPECT_EQ(std::string(p.name), "\x95\x5C");

    PathParts q;
    text::CopyWhole(q.directory, "\\\x95\x5C");
    text::CopyWhole(q.name, "x");
    char out[text::kMaxText];
    ASSERT_TRUE(ComposePath(q, out, ShiftJisLead));
    EXPECT_EQ(std::string(out), "\\\x95\x5C\\x");
}

TEST(PathParts, ComposeAddsTheMissingSeparatorsAndNeverCuts)
{
    PathParts p;
    text::CopyWhole(p.drive, "C:");
    text::CopyWhole(p.directory, R"(\Windows)");
    text::CopyWhole(p.name, "win");
    text::CopyWhole(p.extension, "ini");
    char out[text::kMaxText];
    ASSERT_TRUE(ComposePath(p, out));
    EXPECT_STREQ(out, R"(C:\Windows\win.ini)");

    // "C:", 256 characters, "\" and "x" make 260: too long for the field.
    text::CopyWhole(p.directory, std::string(256, 'd'));
    text::CopyWhole(p.extension, "");
    text::CopyWhole(p.name, "x");
    EXPECT_FALSE(ComposePath(p, out));
    EXPECT_STREQ(out, "");
}
