#pragma once

#include <windows.h>

// Called first by every dialog procedure but the removal page's: when the
// language tag asks for it, WM_INITDIALOG gives the dialog's text controls
// the font of the user-interface settings.
void ApplyDialogFont(HWND dialog, UINT message);

// Creates a font from the user-interface settings with the given weight.
HFONT CreateSettingsFont(int weight);
