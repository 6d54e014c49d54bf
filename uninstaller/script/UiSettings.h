#pragma once
// Language tag and dialog font, from section "Strings" of the default
// uninstall script. Process-wide; read while a setting still holds nothing.

struct UiSettings {
    char Language[256] = {};
    char FontCharSetName[256] = {};
    int FontCharSet = 0;
    char FontPitchName[256] = {};
    int FontPitch = 0;
    char FontFamilyName[256] = {};
    int FontFamily = 0;
    char FontType[256] = {};
    int FontHeight = 0;
    int FontWidth = 0;
};

UiSettings& CurrentUiSettings();

// Reads every setting that holds nothing yet from DefaultScriptPath, then
// turns the three font names into their numbers.
void LoadUiSettings();

// The custom dialog font applies for any language tag but empty and "NOT".
bool CustomFontWanted();

// Message boxes read right to left for exactly "ARA" and "HEB".
bool RightToLeftWanted();
