#include "UiSettings.h"

#include <windows.h>

#include <cstring>

#include "FileSpec.h"
#include "FontNames.h"

namespace {

constexpr char kSection[] = "Strings";

void ReadText(const char* key, char (&value)[256])
{
    if (value[0] == '\0')
        GetPrivateProfileStringA(kSection, key, "", value, sizeof value, DefaultScriptPath);
}

void ReadNumber(const char* key, int& value)
{
    if (value == 0)
        value = static_cast<int>(GetPrivateProfileIntA(kSection, key, 1, DefaultScriptPath));
}

} // namespace

UiSettings& CurrentUiSettings()
{
    static UiSettings settings;
    return settings;
}

void LoadUiSettings()
{
    UiSettings& s = CurrentUiSettings();
    ReadText("Language", s.Language);
    ReadText("FontCharSet", s.FontCharSetName);
    ReadText("FontPitch", s.FontPitchName);
    ReadText("FontFamily", s.FontFamilyName);
    ReadText("FontType", s.FontType);
    ReadNumber("FontHeight", s.FontHeight);
    ReadNumber("FontWidth", s.FontWidth);
    s.FontCharSet = CharSetFromName(s.FontCharSetName);
    s.FontPitch = PitchFromName(s.FontPitchName);
    s.FontFamily = FamilyFromName(s.FontFamilyName);
}

bool CustomFontWanted()
{
    const char* tag = CurrentUiSettings().Language;
    return tag[0] != '\0' && std::strcmp(tag, "NOT") != 0;
}

bool RightToLeftWanted()
{
    const char* tag = CurrentUiSettings().Language;
    return std::strcmp(tag, "ARA") == 0 || std::strcmp(tag, "HEB") == 0;
}
