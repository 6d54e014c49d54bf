// The toner bar printed with WM_PRINTCLIENT into device contexts of our own,
// as a parent that prints its children does. The bar is 192 pixels wide, so
// with the dialog's colours (black to silver: 192 bands) each band is one
// pixel and the bar colour reaches one pixel past width × level / 100.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "GradientProgressCtrl.h"

namespace {

constexpr int kWidth = 192;
constexpr int kHeight = 14;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kSilver = RGB(192, 192, 192);
constexpr COLORREF kTextGreen = RGB(0, 130, 80);
// What the caller had in its DC before the bar was printed into it.
constexpr COLORREF kMarker = RGB(250, 20, 120);

// A 32-bit top-down bitmap in a memory DC, filled with the marker colour.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        Fill(RECT{0, 0, width, height}, kMarker);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Fill(const RECT& r, COLORREF colour) const
    {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc_, &r, brush);
        DeleteObject(brush);
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const auto* px = static_cast<const std::uint8_t*>(bits_) + (static_cast<size_t>(y) * width_ + x) * 4;
        return RGB(px[2], px[1], px[0]);
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

// The first pixel that differs from `expected(x, y)`, or "" when none does.
template <typename Expected>
std::string FirstDifference(const Canvas& canvas, Expected expected)
{
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.At(x, y) != expected(x, y)) {
                char text[96];
                std::snprintf(text, sizeof text, "at %d,%d: %06lx, expected %06lx", x, y,
                              static_cast<unsigned long>(canvas.At(x, y)),
                              static_cast<unsigned long>(expected(x, y)));
                return text;
            }
    return "";
}

// A bar as the Supplies Status dialog sets it up, in a window of its own.
class Bar {
public:
    explicit Bar(int level)
    {
        const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&classes);
        window_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        control.Attach(window_);
        control.SetRange(0, 100);
        control.endRed = control.endGreen = control.endBlue = 192;
        control.background = kSilver;
        control.SetPos(level);
    }
    // The window goes first and the control after it, as in the dialog.
    ~Bar()
    {
        if (window_)
            DestroyWindow(window_);
    }
    Bar(const Bar&) = delete;
    Bar& operator=(const Bar&) = delete;

    HWND Window() const { return window_; }
    void PrintInto(HDC dc) const { SendMessageA(window_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); }

    CGradientProgressCtrl control;

private:
    HWND window_ = nullptr;
};

// Columns 0 to `barEnd` - 1 in the bar colour, the rest in the background.
auto Bands(int barEnd, int left = 0)
{
    return [=](int x, int) { return x - left < barEnd ? kBlack : kSilver; };
}

// The bands with `text` drawn over them by us, in the font and colour the bar uses.
void DrawReference(const Canvas& canvas, int barEnd, const char* text)
{
    canvas.Fill(RECT{0, 0, barEnd, kHeight}, kBlack);
    canvas.Fill(RECT{barEnd, 0, kWidth, kHeight}, kSilver);
    HGDIOBJ old = SelectObject(canvas.Dc(), GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(canvas.Dc(), kTextGreen);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    RECT r{0, 0, kWidth, kHeight};
    DrawTextA(canvas.Dc(), text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(canvas.Dc(), old);
}

bool SameImage(const Canvas& a, const Canvas& b)
{
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.At(x, y) != b.At(x, y))
                return false;
    return true;
}

struct Level {
    int level;
    int barEnd; // 192 × level / 100 truncated, plus the band that crosses it
};
constexpr Level kLevels[] = {{1, 2}, {37, 72}, {50, 97}, {99, 191}};

} // namespace

TEST(BarPaint, MiddleLevelsFillUpToTheCrossingBandThenTheBackground)
{
    for (const Level& c : kLevels) {
        Bar bar(c.level);
        bar.control.showPercentage = false;
        Canvas canvas(kWidth, kHeight);
        bar.PrintInto(canvas.Dc());
        EXPECT_EQ(FirstDifference(canvas, Bands(c.barEnd)), "") << "level " << c.level;
    }
}

TEST(BarPaint, PercentageIsTheLevelCentredInTheBar)
{
    for (const Level& c : kLevels) {
        Bar bar(c.level);
        Canvas painted(kWidth, kHeight);
        bar.PrintInto(painted.Dc());
        char text[8];
        std::snprintf(text, sizeof text, "%d%%", c.level);
        Canvas reference(kWidth, kHeight);
        DrawReference(reference, c.barEnd, text);
        EXPECT_TRUE(SameImage(painted, reference)) << "level " << c.level << ", expected \"" << text << "\"";
        if (c.level == 37) {
            Canvas swapped(kWidth, kHeight);
            DrawReference(swapped, c.barEnd, "73%");
            EXPECT_FALSE(SameImage(painted, swapped)) << "the comparison tells the digits apart";
        }
    }
}

TEST(BarPaint, ClipBoxAwayFromTheOriginGetsTheBarsOwnPixels)
{
    Bar bar(37);
    bar.control.showPercentage = false;
    Canvas canvas(kWidth, kHeight);
    const RECT clip{60, 3, 100, 11};
    IntersectClipRect(canvas.Dc(), clip.left, clip.top, clip.right, clip.bottom);
    bar.PrintInto(canvas.Dc());
    EXPECT_EQ(FirstDifference(canvas,
                              [&](int x, int y) {
                                  const POINT p{x, y};
                                  return PtInRect(&clip, p) ? Bands(72)(x, y) : kMarker;
                              }),
              "");
}

TEST(BarPaint, LargerDcKeepsEverythingAroundTheBar)
{
    Bar bar(37);
    bar.control.showPercentage = false;
    Canvas canvas(300, 40);
    const RECT at{40, 10, 40 + kWidth, 10 + kHeight};
    SetViewportOrgEx(canvas.Dc(), at.left, at.top, nullptr);
    bar.PrintInto(canvas.Dc());
    EXPECT_EQ(FirstDifference(canvas,
                              [&](int x, int y) {
                                  const POINT p{x, y};
                                  return PtInRect(&at, p) ? Bands(72, at.left)(x, y) : kMarker;
                              }),
              "");
}

TEST(BarPaint, CallersDcKeepsItsBackgroundModeTextColourAndClip)
{
    Bar bar(37);
    Canvas canvas(300, 40);
    HDC dc = canvas.Dc();
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, RGB(1, 2, 3));
    IntersectClipRect(dc, 0, 0, 250, 30);
    const HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    bar.PrintInto(dc);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    RECT box{};
    GetClipBox(dc, &box);
    EXPECT_EQ(box.right, 250);
    EXPECT_EQ(box.bottom, 30);
}

TEST(BarPaint, EqualStartAndEndColoursShowOnlyTheBackground)
{
    Bar bar(37);
    bar.control.showPercentage = false;
    bar.control.startRed = bar.control.endRed = 64;
    bar.control.startGreen = bar.control.endGreen = 64;
    bar.control.startBlue = bar.control.endBlue = 64;
    Canvas canvas(kWidth, kHeight);
    bar.PrintInto(canvas.Dc());
    EXPECT_EQ(FirstDifference(canvas, [](int, int) { return kSilver; }), "");
}

// The bar's subclass record must go with its window: a driver's user interface
// opens the dialog many times in one process.
TEST(BarPaint, BarLeavesNoSubclassBehindWhenItsWindowGoes)
{
    auto busyBlocks = [] {
        size_t n = 0;
        HANDLE heap = GetProcessHeap();
        HeapLock(heap);
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            n += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
        HeapUnlock(heap);
        return n;
    };
    for (int i = 0; i < 20; ++i)
        Bar warmUp(37);
    const size_t before = busyBlocks();
    for (int i = 0; i < 100; ++i) {
        Bar bar(37);
        ASSERT_NE(bar.Window(), nullptr);
    }
    const size_t after = busyBlocks();
    // Each bar that kept its subclass would leave its records: 100 or more.
    EXPECT_LT(after, before + 50) << "100 bars made and destroyed";
}
