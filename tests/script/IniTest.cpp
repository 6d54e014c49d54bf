#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "script/Ini.h"
#include "support/WineBed.h"

namespace {

class IniTest : public testing::Test {
protected:
    void TearDown() override { DeleteFileA(path.c_str()); }

    bool Load(const std::string& content)
    {
        EXPECT_TRUE(bed::WriteFile(path, content));
        return ini.Load(path.c_str());
    }

    std::string FileText()
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<std::string> Keys(const char* section, std::int32_t size, std::int32_t* result = nullptr)
    {
        std::vector<char> buffer(static_cast<size_t>(size) + 8, 'x');
        const std::int32_t n = ini.GetKeys(section, buffer.data(), size);
        if (result)
            *result = n;
        std::vector<std::string> out;
        for (const char* p = buffer.data(); *p; p += std::strlen(p) + 1)
            out.emplace_back(p);
        return out;
    }

    std::vector<std::string> Lines(const char* section)
    {
        char buffer[4096];
        ini.GetSectionLines(section, buffer, sizeof buffer);
        std::vector<std::string> out;
        for (const char* p = buffer; *p; p += std::strlen(p) + 1)
            out.emplace_back(p);
        return out;
    }

    std::string path = bed::TestDirectory() + "ini-test.unm";
    CIni ini;
};

using Lines_ = std::vector<std::string>;

} // namespace

TEST_F(IniTest, LineEndsOfEveryKindAndALastLineWithoutOne)
{
    ASSERT_TRUE(Load("[S]\r\na=1\n\n\nb=2\r\rc=3\n\r[T]\r\nlast=x"));
    EXPECT_EQ(Lines("S"), (Lines_{"a=1", "b=2", "c=3"}));
    EXPECT_EQ(Lines("T"), (Lines_{"last=x"}));
    EXPECT_EQ(ini.SectionCount(), 2u);
}

TEST_F(IniTest, EntryLinesSplitAtTheFirstEqualsAndEndAtASemicolon)
{
    ASSERT_TRUE(Load("ignored=before any header\r\n[S]\r\na=b=c\r\nkey = value ; note\r\n"
                     "  key2=value2\r\n;key3=3\r\n\tkey4=4\r\nkey;x=1\r\n=empty key\r\n=\r\nalone\r\n"
                     "q=\"x, y\\z\"\r\n"));
    // An empty string would end the double-NUL list: it is left out, and
    // the entries after it are still listed.
    EXPECT_EQ(Lines("S"),
              (Lines_{"a=b=c", "key=value", "\tkey4=4", "key", "=empty key", "alone", "q=\"x, y\\z\""}));
    EXPECT_EQ(Keys("s", 260), (Lines_{"a", "key", "\tkey4", "key", "alone", "q"}));
    EXPECT_EQ(ini.GetEntryCount("S"), 8u);
}

TEST_F(IniTest, HeadersKeepTheirTextAndRepeatsAreUnreachable)
{
    ASSERT_TRUE(Load("[A]\r\nx=1\r\n[a]\r\ny=2\r\n[Broken\r\nz=3\r\n[ Spaced ] tail\r\nw=4\r\n"));
    EXPECT_EQ(ini.SectionCount(), 3u);
    EXPECT_EQ(ini.GetEntryCount("A"), 1u);
    EXPECT_EQ(ini.GetEntryCount("a"), 1u);
    EXPECT_EQ(Lines("a"), (Lines_{"x=1"}));
    // y, and z after the broken header, stay in the unreachable second [a].
    ASSERT_EQ(ini.Sections()[1].entryCount, 2u);
    EXPECT_STREQ(ini.Sections()[1].entries[1].key, "z");
    EXPECT_EQ(ini.GetEntryCount(" Spaced "), 1u);
    EXPECT_EQ(ini.GetEntryCount("Spaced"), 0u);
    EXPECT_EQ(ini.FindSection(""), nullptr);
    EXPECT_EQ(ini.FindSection(nullptr), nullptr);
}

TEST_F(IniTest, ListBufferRuleCountsEveryStringAndWritesThoseThatFit)
{
    // The empty key counts for nothing.
    ASSERT_TRUE(Load("[S]\r\nab=1\r\n=\r\nc\r\n"));
    std::int32_t n = 0;
    EXPECT_EQ(Keys("S", 6, &n), (Lines_{"ab", "c"}));
    EXPECT_EQ(n, 5);
    EXPECT_EQ(Keys("S", 5, &n), (Lines_{"ab"}));
    EXPECT_EQ(n, -5);
    EXPECT_EQ(Keys("S", 3, &n), (Lines_{}));
    EXPECT_EQ(n, -5);

    char buffer[16];
    EXPECT_EQ(ini.GetSectionLines("S", buffer, sizeof buffer), 7);  // "ab=1" and "c"
    EXPECT_EQ(ini.GetKeys("missing", buffer, sizeof buffer), 0);
    EXPECT_EQ(ini.GetKeys("S", nullptr, 16), 0);
    EXPECT_EQ(ini.GetKeys("", buffer, sizeof buffer), 0);
}

TEST_F(IniTest, LoadRefusesEmptyMissingAndSecondFiles)
{
    EXPECT_FALSE(Load(""));
    EXPECT_STREQ(ini.FilePath(), path.c_str());
    CIni missing;
    EXPECT_FALSE(missing.Load((bed::TestDirectory() + "no-such.unm").c_str()));
    ASSERT_TRUE(Load("[S]\r\na=1\r\n"));
    EXPECT_FALSE(ini.Load(path.c_str()));
    EXPECT_EQ(ini.SectionCount(), 1u);
}

TEST_F(IniTest, OverlongNamesAndKeysAreLeftOutNotCutValuesAreKept)
{
    const std::string longText(260, 'k');
    ASSERT_TRUE(Load("[S]\r\n" + longText + "=1\r\nok=" + std::string(259, 'v') + "\r\nv=" + longText +
                     "\r\n[" + longText + "]\r\nlost=1\r\n"));
    EXPECT_EQ(Keys("S", 4096), (Lines_{"ok", "v"}));
    // The entries under an overlong header don't join the section before it.
    ASSERT_EQ(ini.GetEntryCount("S"), 2u);
    EXPECT_EQ(ini.Sections()[0].entries[1].value, longText);
    EXPECT_EQ(ini.SectionCount(), 2u);
}

TEST_F(IniTest, SaveWritesTheModelBack)
{
    ASSERT_TRUE(Load("[S]\r\na = 1\r\nb\r\n[T]\r\n"));
    ASSERT_TRUE(ini.Save(path.c_str()));
    EXPECT_EQ(FileText(), "[S]\r\na=1\r\nb\r\n\r\n[T]\r\n\r\n");
}

TEST_F(IniTest, FindKeySkipsACommentedKeyAndStaysInTheSection)
{
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\n;Key=1\r\nKey=2\r\n"));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "s", "key"), 13u);
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\n;Key=1\r\n[T]\r\nKey=2\r\n"));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "Key"), 0u);
    EXPECT_EQ(CIni::FindKey(path.c_str(), "T", "Key"), 18u);
    EXPECT_EQ(CIni::FindKey(path.c_str(), "U", "Key"), 0u);
    // Only a whole key at the start of its line: not inside or at the head
    // of a longer word, not in a value.
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\nMyKey=1\r\nKeys=2\r\nx=Key\r\n \tkey \t= 3\r\n"));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "Key"), 31u);
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\nMyKey=1\r\n"));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "Key"), 0u);
    ASSERT_TRUE(bed::WriteFile(path, ""));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "Key"), 0u);
    EXPECT_EQ(CIni::FindKey((bed::TestDirectory() + "no-such.ini").c_str(), "S", "Key"), 0u);
}

TEST_F(IniTest, DeleteKeyLineCutsOnlyTheKeysLine)
{
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\na=1\r\nb=2\r\n"));
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "a"));
    EXPECT_EQ(FileText(), "[S]\r\nb=2\r\n");

    // The line FindKey found: not the commented one, not one of another section.
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\n;Key=1\r\nKey=2\r\n[T]\r\nKey=3"));
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "Key"));
    EXPECT_EQ(FileText(), "[S]\r\n;Key=1\r\n[T]\r\nKey=3");
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "T", "Key"));
    EXPECT_EQ(FileText(), "[S]\r\n;Key=1\r\n[T]\r\n");

    EXPECT_FALSE(CIni::DeleteKeyLine(path.c_str(), "S", "Key"));
    EXPECT_FALSE(CIni::DeleteKeyLine(path.c_str(), "U", "Key"));
    EXPECT_EQ(FileText(), "[S]\r\n;Key=1\r\n[T]\r\n");
}

TEST_F(IniTest, DeleteKeyLineCutsTheWholeKeyOnly)
{
    ASSERT_TRUE(bed::WriteFile(path, "[Devices]\r\nQUORVEL Lumenta 24000=winspool,Ne00:\r\n"
                                     "QUORVEL Lumenta 2400=winspool,Ne01:\r\n"));
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "devices", "QUORVEL Lumenta 2400"));
    EXPECT_EQ(FileText(), "[Devices]\r\nQUORVEL Lumenta 24000=winspool,Ne00:\r\n");

    // The key's line goes whole, the blanks before the key too; a key alone
    // on its line counts.
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\nb=a\r\n\t a = 1\r\nc=2\r\nd\r\n"));
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "a"));
    EXPECT_EQ(FileText(), "[S]\r\nb=a\r\nc=2\r\nd\r\n");
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "d"));
    EXPECT_EQ(FileText(), "[S]\r\nb=a\r\nc=2\r\n");

    // Headers after blanks count, text after "]" doesn't matter, and of two
    // sections of one name the first that holds the key gives its line.
    const std::string twice = "[S]\r\nx=1\r\n [T]\r\na=0\r\n  [s] old\r\na=1\r\n[S]\r\na=2\r\n";
    ASSERT_TRUE(bed::WriteFile(path, twice));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "a"), twice.find("a=1"));
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "a"));
    EXPECT_EQ(FileText(), "[S]\r\nx=1\r\n [T]\r\na=0\r\n  [s] old\r\n[S]\r\na=2\r\n");
}

TEST_F(IniTest, KeySearchTakesEveryLineEndAndSkipsAByteOrderMark)
{
    // A lone CR ends a line; the line takes exactly its own line end along.
    ASSERT_TRUE(bed::WriteFile(path, "[S]\r\na=1\rb=2\r[T]\ra=3\r"));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "a"), 5u);
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "a"));
    EXPECT_EQ(FileText(), "[S]\r\nb=2\r[T]\ra=3\r");
    ASSERT_TRUE(bed::WriteFile(path, "[S]\na=1\n\rb=2\r\r\nc=3\r\n\n"));
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "a"));
    EXPECT_EQ(FileText(), "[S]\n\rb=2\r\r\nc=3\r\n\n");
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "b"));
    EXPECT_EQ(FileText(), "[S]\n\r\r\nc=3\r\n\n");

    // The key in the next section is not the key of this one.
    const std::string other = "[S]\rx=1\r[T]\r\na=2\r\n";
    ASSERT_TRUE(bed::WriteFile(path, other));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "a"), 0u);
    EXPECT_FALSE(CIni::DeleteKeyLine(path.c_str(), "S", "a"));
    EXPECT_EQ(FileText(), other);

    ASSERT_TRUE(bed::WriteFile(path, "\xEF\xBB\xBF[S]\r\na=1\r\nb=2"));
    EXPECT_EQ(CIni::FindKey(path.c_str(), "S", "b"), 13u);
    ASSERT_TRUE(CIni::DeleteKeyLine(path.c_str(), "S", "b"));
    EXPECT_EQ(FileText(), "\xEF\xBB\xBF[S]\r\na=1\r\n");
}
