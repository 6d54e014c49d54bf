#include "GradientProgressCtrl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// A device context's state, put back when this goes: the caller of
// WM_PRINTCLIENT keeps its clip, colours, mode and font.
class SavedState {
public:
    explicit SavedState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedState()
    {
        if (saved_)
            RestoreDC(dc_, saved_);
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    HDC dc_;
    int saved_;
};

// An off-screen copy of a device context's clip box, copied back in one
// transfer when it goes; a printer context is drawn on directly.
class MemDC {
public:
    explicit MemDC(HDC target) : target_(target)
    {
        GetClipBox(target, &box_);
        if (GetDeviceCaps(target, TECHNOLOGY) == DT_RASPRINTER)
            return;
        memory_ = CreateCompatibleDC(target);
        bitmap_ = CreateCompatibleBitmap(target, box_.right - box_.left, box_.bottom - box_.top);
        if (!memory_ || !bitmap_)
            return;
        old_ = SelectObject(memory_, bitmap_);
        SetWindowOrgEx(memory_, box_.left, box_.top, nullptr);
    }
    ~MemDC()
    {
        if (old_) {
            BitBlt(target_, box_.left, box_.top, box_.right - box_.left, box_.bottom - box_.top, memory_, box_.left,
                   box_.top, SRCCOPY);
            SelectObject(memory_, old_);
        }
        if (bitmap_)
            DeleteObject(bitmap_);
        if (memory_)
            DeleteDC(memory_);
    }
    MemDC(const MemDC&) = delete;
    MemDC& operator=(const MemDC&) = delete;
    HDC Get() const { return old_ ? memory_ : target_; }

private:
    HDC target_;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    RECT box_{};
};

void Fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

} // namespace

CGradientProgressCtrl::~CGradientProgressCtrl()
{
    if (hwnd_)
        RemoveWindowSubclass(hwnd_, Subclass, 1);
}

void CGradientProgressCtrl::Attach(HWND window)
{
    if (hwnd_ == window)
        return;
    if (hwnd_)
        RemoveWindowSubclass(hwnd_, Subclass, 1);
    ProgressCtrl::Attach(window);
    if (hwnd_)
        SetWindowSubclass(hwnd_, Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CGradientProgressCtrl::SetRange(int lower, int upper)
{
    lower_ = lower;
    upper_ = upper;
    position_ = lower;
    ProgressCtrl::SetRange(lower, upper);
}

void CGradientProgressCtrl::SetPos(int position)
{
    position_ = position;
    ProgressCtrl::SetPos(position);
}

void CGradientProgressCtrl::Paint(HDC target, const RECT& client) const
{
    // Whatever the caller's DC covers, only the client area is ours to paint.
    const SavedState saved(target);
    IntersectClipRect(target, client.left, client.top, client.right, client.bottom);
    if (position_ < lower_ || position_ > upper_ || upper_ == 0) {
        Fill(target, client, GetSysColor(COLOR_BTNFACE));
        return;
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int barEnd = static_cast<int>(static_cast<float>(width) * (static_cast<float>(position_) / upper_));
    const int bands = std::max({std::abs(startRed - endRed), std::abs(startGreen - endGreen),
                                std::abs(startBlue - endBlue)});
    {
        MemDC buffer(target);
        HDC dc = buffer.Get();
        if (bands == 0)
            Fill(dc, client, background);
        else {
            const float bandWidth = static_cast<float>(width) / static_cast<float>(bands);
            const COLORREF colour = RGB(startRed, startGreen, startBlue);
            for (int i = 0; i < bands; ++i) {
                const RECT band{static_cast<int>(static_cast<float>(i) * bandWidth), 0,
                                static_cast<int>(static_cast<float>(i + 1) * bandWidth), height + 1};
                Fill(dc, band, colour);
                if (band.right > barEnd) {
                    Fill(dc, RECT{band.right, 0, client.right, height}, background);
                    break;
                }
            }
        }
    }
    if (showPercentage) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f%%", static_cast<double>(position_) * 100.0 / upper_);
        SetTextColor(target, textColour);
        SetBkMode(target, TRANSPARENT);
        RECT r = client;
        HGDIOBJ old = SelectObject(target, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextA(target, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(target, old);
    }
}

LRESULT CALLBACK CGradientProgressCtrl::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR self)
{
    auto* control = reinterpret_cast<CGradientProgressCtrl*>(self);
    switch (message) {
    case WM_NCDESTROY:
        // The last message: the subclass record goes with the window, and
        // the control no longer refers to it.
        RemoveWindowSubclass(window, Subclass, 1);
        control->hwnd_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(window, &client);
        control->Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_PAINT: {
        RECT client;
        GetClientRect(window, &client);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        control->Paint(dc, client);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefSubclassProc(window, message, wParam, lParam);
    }
}
