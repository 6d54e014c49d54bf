#include "DialogFont.h"

#include "../common/Handles.h"
#include "../script/UiSettings.h"

namespace {

// The controls that take the font, in the order they are given it.
constexpr int kFontControls[] = {
    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   2009, 2008, 2011, 2012, 2006, 2013,
    2015, 2016, 2017, 2018, 2019, 2020, 2021, 2022, 2023, 2047, 2046, 2005, 65535, 2044, 2004,
};

} // namespace

HFONT CreateSettingsFont(int weight)
{
    const UiSettings& s = CurrentUiSettings();
    return CreateFontA(s.FontHeight, s.FontWidth, 0, 0, weight, FALSE, FALSE, FALSE,
                       static_cast<DWORD>(s.FontCharSet), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       static_cast<DWORD>(s.FontPitch | s.FontFamily), s.FontType);
}

void ApplyDialogFont(HWND dialog, UINT message)
{
    if (message != WM_INITDIALOG || !CustomFontWanted())
        return;
    // One font serves every dialog for the life of the process: the settings
    // no longer change once they hold a language tag.
    static FontHandle font;
    if (!font)
        font.Attach(CreateSettingsFont(FW_NORMAL));
    if (!font)
        return;
    for (int id : kFontControls) {
        if (HWND control = GetDlgItem(dialog, id))
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
}
