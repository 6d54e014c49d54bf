#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "script/FileSpec.h"
#include "script/MessageBox.h"
#include "script/TextCatalogue.h"
#include "script/UiSettings.h"
#include "support/WineBed.h"

namespace {

std::string WindowsIni(const char* name)
{
    char dir[MAX_PATH] = {};
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

class TextCatalogueTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "the test bed runs with code page 932";
        ASSERT_TRUE(bed::WriteFile(WindowsIni("catalogue.ini"),
                                   "[Texts]\r\nfirst=One\\nTwo\r\nsecond=Second\r\nfourth@at=Fourth\r\n"));
    }
    void TearDown() override
    {
        DeleteFileA(WindowsIni("catalogue.ini").c_str());
        DeleteFileA(WindowsIni("somefile.ini").c_str());
    }

    TextCatalogue texts{GetModuleHandleA(nullptr)};
};

} // namespace

TEST_F(TextCatalogueTest, ResourceTextsComeInTheAnsiCodePage)
{
    EXPECT_EQ(std::string(texts.GetText(IDS_TITLE)), bed::Ansi("アンインストール"));
    EXPECT_EQ(std::string(texts.GetText(IDS_SPOOLER_UNSTABLE)),
              bed::Ansi("スプーラーが不安定です!\n再起動してアンインストールをもう一度実行してください。"));
    EXPECT_STREQ(texts.GetText(IDS_RUN_KEY), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_STREQ(texts.GetText(4999), "");
}

TEST_F(TextCatalogueTest, TwoRedirectedTextsInARowAreBothIntact)
{
    const char* first = texts.GetText(9002);
    const char* second = texts.GetText(9003);
    EXPECT_STREQ(first, "One\nTwo");
    EXPECT_STREQ(second, "Second");
    // A plain text and a redirected one, in either order.
    const char* title = texts.GetText(IDS_TITLE);
    const char* value = texts.GetText(9003);
    EXPECT_EQ(std::string(title), bed::Ansi("アンインストール"));
    EXPECT_STREQ(value, "Second");
}

TEST_F(TextCatalogueTest, RedirectionNeedsThreeFieldsAndKeepsAFourthAtInTheKey)
{
    EXPECT_STREQ(texts.GetText(9001), "");
    EXPECT_STREQ(texts.GetText(9006), "Fourth");
}

TEST_F(TextCatalogueTest, TheStringTablesOwnPatternReadsTheIniFile)
{
    EXPECT_STREQ(texts.GetText(IDS_REDIRECT_PATTERN), "");
    ASSERT_TRUE(bed::WriteFile(WindowsIni("somefile.ini"), "[sectionname]\r\nkeyname=from ini\r\n"));
    EXPECT_STREQ(texts.GetText(IDS_REDIRECT_PATTERN), "from ini");
}

TEST_F(TextCatalogueTest, WithoutAFileTheIniBesideTheProgramIsRead)
{
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string ini(program);
    ini = ini.substr(0, ini.rfind('.')) + ".ini";
    ASSERT_TRUE(bed::WriteFile(ini, "[Texts]\r\nown=beside the program\r\n"));
    EXPECT_STREQ(texts.GetText(9005), "beside the program");
    DeleteFileA(ini.c_str());
}

TEST_F(TextCatalogueTest, NewlinesExpandInIniValuesOnly)
{
    EXPECT_STREQ(texts.GetText(9004), "Line1\\nLine2");
    EXPECT_STREQ(texts.ReadIniText("catalogue.ini", "Texts", "first"), "One\nTwo");

    char mixed[] = "a\\nb\\\\n\\";
    TextCatalogue::ExpandNewlines(mixed);
    EXPECT_STREQ(mixed, "a\nb\\\n\\");

    // "表n": the trail byte of 表 is a backslash and must stay.
    char dbcs[] = "\x95\x5Cn\\n";
    TextCatalogue::ExpandNewlines(dbcs);
    EXPECT_STREQ(dbcs, "\x95\x5Cn\n");
}

TEST_F(TextCatalogueTest, WindowTextsFromIds)
{
    HWND window = CreateWindowA("STATIC", "template", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    char buffer[64] = {};
    EXPECT_FALSE(texts.SetWindowTextById(window, 4999));
    GetWindowTextA(window, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "template");
    EXPECT_TRUE(texts.SetWindowTextById(window, IDS_BTN_EXIT));
    GetWindowTextA(window, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), bed::Ansi("キャンセル"));
    DestroyWindow(window);
}

// ---- Settings and message boxes --------------------------------------------

namespace {

class UiSettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        BuildDefaultScriptPath();
        CurrentUiSettings() = UiSettings{};
    }
    void TearDown() override
    {
        DeleteFileA(DefaultScriptPath);
        CurrentUiSettings() = UiSettings{};
        SetMessageAnswerer(nullptr);
    }
    UINT StyleOfMessage(UINT style)
    {
        UINT seen = 0;
        SetMessageAnswerer([&](const char*, const char*, UINT s) {
            seen = s;
            return IDOK;
        });
        EXPECT_EQ(ShowMessage(nullptr, "text", "title", style), IDOK);
        return seen;
    }
};

} // namespace

TEST_F(UiSettingsTest, DefaultScriptIsBesideTheProgram)
{
    EXPECT_EQ(std::string(DefaultScriptPath), bed::TestDirectory() + "Xrmv___Q.unm");
}

TEST_F(UiSettingsTest, SettingsComeFromSectionStrings)
{
    ASSERT_TRUE(bed::WriteFile(DefaultScriptPath, "[Strings]\r\nLanguage=JPN\r\nFontCharSet=SHIFTJIS\r\n"
                                                  "FontPitch=VARIABLE\r\nFontFamily=SWISS\r\nFontType=IPAPGothic\r\n"
                                                  "FontHeight=-12\r\n"));
    LoadUiSettings();
    const UiSettings& s = CurrentUiSettings();
    EXPECT_STREQ(s.Language, "JPN");
    EXPECT_EQ(s.FontCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(s.FontPitch, VARIABLE_PITCH);
    EXPECT_EQ(s.FontFamily, FF_SWISS);
    EXPECT_STREQ(s.FontType, "IPAPGothic");
    EXPECT_EQ(s.FontHeight, -12);
    EXPECT_EQ(s.FontWidth, 1);
    EXPECT_TRUE(CustomFontWanted());
}

TEST_F(UiSettingsTest, MissingScriptGivesDefaultsAndNoCustomFont)
{
    LoadUiSettings();
    const UiSettings& s = CurrentUiSettings();
    EXPECT_STREQ(s.Language, "");
    EXPECT_EQ(s.FontCharSet, 0);
    EXPECT_EQ(s.FontHeight, 1);
    EXPECT_EQ(s.FontWidth, 1);
    EXPECT_FALSE(CustomFontWanted());
}

TEST_F(UiSettingsTest, LowerCaseNamesMeanNothing)
{
    ASSERT_TRUE(bed::WriteFile(DefaultScriptPath, "[Strings]\r\nLanguage=NOT\r\nFontCharSet=shiftjis\r\n"));
    LoadUiSettings();
    EXPECT_EQ(CurrentUiSettings().FontCharSet, 0);
    EXPECT_FALSE(CustomFontWanted());
}

TEST_F(UiSettingsTest, RightToLeftReadingOnlyForExactlyAraAndHeb)
{
    const std::pair<const char*, bool> tags[] = {
        {"ARA", true}, {"HEB", true}, {"ara", false}, {"Heb", false}, {"ARAB", false}, {"", false}, {"JPN", false},
    };
    for (const auto& [tag, rtl] : tags) {
        SCOPED_TRACE(tag);
        text::CopyWhole(CurrentUiSettings().Language, tag);
        const UINT style = StyleOfMessage(MB_OK | MB_ICONSTOP);
        EXPECT_EQ((style & MB_RTLREADING) != 0, rtl);
        EXPECT_EQ(style & ~static_cast<UINT>(MB_RTLREADING), static_cast<UINT>(MB_OK | MB_ICONSTOP));
    }
}
