#pragma once
// The toner bar: a progress control painted in colour bands through an
// off-screen buffer, with the percentage on top.

#include "framework/Controls.h"

class CGradientProgressCtrl : public ProgressCtrl {
public:
    ~CGradientProgressCtrl() override;
    void Attach(HWND window) override;

    void SetRange(int lower, int upper);
    void SetPos(int position);

    // The colours the dialog sets before use.
    BYTE startRed = 0, startGreen = 0, startBlue = 0;
    BYTE endRed = 0, endGreen = 0, endBlue = 0;
    COLORREF background = GetSysColor(COLOR_BTNFACE);
    COLORREF textColour = RGB(0, 130, 80);
    bool showPercentage = true;

    // Paints the bar into `dc`, whose client area is `client`.
    void Paint(HDC dc, const RECT& client) const;

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);

    int lower_ = 0;
    int upper_ = 100;
    int step_ = 10;
    int position_ = 0;
};
