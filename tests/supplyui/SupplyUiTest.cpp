// Drives the library's dialogs as a printer driver's user interface would:
// loaded with LoadLibraryA, called through its exports, with an owner window
// of our own, and each dialog worked from inside its modal loop by a timer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <imm.h>
#include <objbase.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DialogScript.h"
#include "ImportPatch.h"
#include "common/Handles.h"
#include "support/WineBed.h"

namespace {

// The owner window: answers the Auto Continue question and records what it is told.
struct Owner {
    HWND hwnd = nullptr;
    int answer = 1;
    bool answers = true; // false: 1138 goes to the default handling
    int asked = 0;
    bool askedWithAddress = false;
    std::vector<WPARAM> told;
};
Owner* g_owner = nullptr;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_owner && g_owner->answers && message == WM_USER + 114) {
        ++g_owner->asked;
        g_owner->askedWithAddress = lParam != 0;
        if (lParam)
            *reinterpret_cast<int*>(lParam) = g_owner->answer;
        return 0;
    }
    if (g_owner && message == WM_USER + 112) {
        g_owner->told.push_back(wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The message box on top of `dialog` with that title, and its text.
HWND MessageBoxOver(const char* title, HWND dialog, std::string& text)
{
    HWND found = nullptr;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char caption[128] = {};
        GetWindowTextA(w, caption, sizeof caption);
        if (w != dialog && std::strcmp(caption, title) == 0 && GetDlgItem(w, 0xFFFF)) {
            found = w;
            break;
        }
    }
    if (found)
        text = Text(found, 0xFFFF);
    return found;
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<COLORREF> rgb;
    COLORREF At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

// What the bar paints, through WM_PRINTCLIENT into a bitmap of our own.
Pixels PaintBar(HWND bar)
{
    RECT client{};
    GetClientRect(bar, &client);
    Pixels p;
    p.width = client.right;
    p.height = client.bottom;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* px = static_cast<const std::uint8_t*>(bits);
    for (int i = 0; i < p.width * p.height; ++i)
        p.rgb.push_back(RGB(px[i * 4 + 2], px[i * 4 + 1], px[i * 4]));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return p;
}

bool Greenish(COLORREF c) { return GetGValue(c) > GetRValue(c) + 50 && GetGValue(c) > GetBValue(c) + 20; }

class SupplyUiTest : public testing::Test {
protected:
    void SetUp() override
    {
        library = LoadLibraryA(bed::Deliverable("SUPPLYUI64_Q.dll").c_str());
        ASSERT_NE(library, nullptr) << GetLastError();
        toner = ProcAddress<TonerFn>(library, "TonerLevelDialogDoModal");
        voltage = ProcAddress<VoltageFn>(library, "VoltageBiasDialogDoModal");
        ASSERT_TRUE(toner && voltage);

        WNDCLASSA wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SupplyUiTestOwner";
        RegisterClassA(&wc);
        owner.hwnd = CreateWindowA("SupplyUiTestOwner", "Printer Properties", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                                   200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner.hwnd, nullptr);
        ShowWindow(owner.hwnd, SW_SHOW);
        SetForegroundWindow(owner.hwnd);
        SetActiveWindow(owner.hwnd);
        g_owner = &owner;
    }
    void TearDown() override
    {
        g_owner = nullptr;
        if (owner.hwnd)
            DestroyWindow(owner.hwnd);
        if (library)
            FreeLibrary(library);
    }

    // Calls `run` with a script that works the dialog titled `title`.
    template <typename Run>
    int WithScript(const char* title, Script script, Run run)
    {
        int result = 0;
        EXPECT_TRUE(RunScripted(title, std::move(script), [&] { result = run(); })) << "the script did not finish";
        return result;
    }

    int Toner(TonerLevelInfo& info, Script script)
    {
        return WithScript("Supplies Status", std::move(script), [&] { return toner(&info); });
    }
    int Voltage(VoltageBiasSettings& settings, Script script)
    {
        return WithScript("Maintenance", std::move(script), [&] { return voltage(&settings); });
    }

    HMODULE library = nullptr;
    TonerFn toner = nullptr;
    VoltageFn voltage = nullptr;
    Owner owner;
};

int SpinPosition(HWND dialog) { return static_cast<int>(SendDlgItemMessageA(dialog, 3020, UDM_GETPOS32, 0, 0)); }

void SetPicker(HWND dialog, int id, WORD hour, WORD minute)
{
    SYSTEMTIME t{};
    t.wYear = 1899;
    t.wMonth = 12;
    t.wDay = 30;
    t.wHour = hour;
    t.wMinute = minute;
    SendDlgItemMessageA(dialog, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
}

// A top-level window of ours, hidden, destroyed on scope exit.
class HiddenWindow {
public:
    explicit HiddenWindow(const char* title)
        : hwnd_(CreateWindowA("STATIC", title, WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~HiddenWindow()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
    }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

SYSTEMTIME PickerTime(HWND dialog, int id)
{
    SYSTEMTIME t{};
    SendMessageA(GetDlgItem(dialog, id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
    return t;
}

// Stands in for the shell's ShellExecuteA in the library's import table, and
// records what the library asked to open and whether COM was initialised on
// the calling thread meanwhile. The real call would hand the address to
// Wine's browser launcher, which starts a browser of the host outside the
// prefix; and Wine's shell initialises COM itself for the handlers it
// activates, so the caller's apartment can't be seen from one of them.
struct ShellCall {
    std::string verb, file;
    int show = 0;
    bool comInitialised = false;
};
std::vector<ShellCall> g_shellCalls;

// Whether COM is initialised on this thread, and as what. The process's
// implicit multithreaded apartment is not this thread's initialisation.
struct Apartment {
    bool initialised = false;
    APTTYPE type = APTTYPE_CURRENT;
    bool operator==(const Apartment&) const = default;
};
Apartment ThisApartment()
{
    Apartment a;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    a.initialised = CoGetApartmentType(&a.type, &qualifier) == S_OK && qualifier != APTTYPEQUALIFIER_IMPLICIT_MTA;
    if (!a.initialised)
        a.type = APTTYPE_CURRENT;
    return a;
}

HINSTANCE WINAPI RecordShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT show)
{
    g_shellCalls.push_back({verb ? verb : "", file ? file : "", show, ThisApartment().initialised});
    return reinterpret_cast<HINSTANCE>(33);
}

std::string LibraryString(HMODULE library, UINT id)
{
    char text[260] = {};
    LoadStringA(library, id, text, sizeof text);
    return text;
}

// A key as the keyboard gives it to the focused control, through the
// dialog's own message loop.
void Key(UINT key)
{
    HWND focus = GetFocus();
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
}
// Alt with a letter: the access key of a label or a button.
void AltKey(char letter) { PostMessageA(GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(letter), 0x20000001); }

int FocusedId(HWND dialog)
{
    for (HWND w = GetFocus(); w && w != dialog; w = GetParent(w))
        if (GetParent(w) == dialog)
            return GetDlgCtrlID(w);
    return 0;
}

// Width and height of the image of an icon.
SIZE IconSize(HICON icon)
{
    ICONINFO info{};
    SIZE size{};
    if (!icon || !GetIconInfo(icon, &info))
        return size;
    BITMAP bitmap{};
    if (GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap)) {
        size.cx = bitmap.bmWidth;
        size.cy = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return size;
}

// A host that runs with common controls 6 active around its calls, from a
// manifest of its own resources.
class HostActivation {
public:
    HostActivation()
    {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        ACTCTXA context{};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = path;
        context.hModule = GetModuleHandleA(nullptr);
        context.lpResourceName = MAKEINTRESOURCEA(101);
        context_ = CreateActCtxA(&context);
        if (context_ != INVALID_HANDLE_VALUE)
            active_ = ActivateActCtx(context_, &cookie_) != FALSE;
    }
    ~HostActivation()
    {
        if (active_)
            DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE)
            ReleaseActCtx(context_);
    }
    HostActivation(const HostActivation&) = delete;
    HostActivation& operator=(const HostActivation&) = delete;
    bool Active() const { return active_; }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

// The class of a push button as the calling thread's context makes it.
ATOM ButtonClass()
{
    HWND button = CreateWindowA("Button", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const auto atom = static_cast<ATOM>(GetClassLongA(button, GCW_ATOM));
    DestroyWindow(button);
    return atom;
}

// Closes the Maintenance dialog of another thread when asked.
std::atomic<bool> g_closeMaintenance{false};
void CALLBACK CloseMaintenanceWhenAsked(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_closeMaintenance)
        if (HWND dialog = OurWindow("Maintenance"))
            Click(dialog, IDOK);
}

} // namespace

TEST_F(SupplyUiTest, ExportsAndRegistration)
{
    using Hr0 = HRESULT(WINAPI*)();
    using GetClass = HRESULT(WINAPI*)(REFCLSID, REFIID, LPVOID*);
    auto registerServer = ProcAddress<Hr0>(library, "DllRegisterServer");
    auto canUnload = ProcAddress<Hr0>(library, "DllCanUnloadNow");
    auto getClass = ProcAddress<GetClass>(library, "DllGetClassObject");
    ASSERT_TRUE(registerServer && canUnload && getClass);
    EXPECT_EQ(registerServer(), 0);
    EXPECT_EQ(canUnload(), S_OK);
    void* object = reinterpret_cast<void*>(1);
    const CLSID anyClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_TRUE(FAILED(getClass(anyClass, IID_IClassFactory, &object)));
    EXPECT_EQ(object, nullptr);
}

TEST_F(SupplyUiTest, ThresholdShowsAndComesBackUnchanged)
{
    TonerLevelInfo info = Info(40, 30, 4500);
    const TonerLevelInfo before = info;
    int spinPos = -1;
    std::string edit, capacity;
    const int result = Toner(info, [&](HWND dialog, int) {
        edit = Text(dialog, 3021);
        capacity = Text(dialog, 3022);
        spinPos = static_cast<int>(SendDlgItemMessageA(dialog, 3020, UDM_GETPOS32, 0, 0));
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 30);
    EXPECT_EQ(edit, "30");
    EXPECT_EQ(spinPos, 30);
    EXPECT_EQ(capacity, "4500");
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0) << "the record is read, never written";
}

TEST_F(SupplyUiTest, UpDownStopsAtZeroAndFifty)
{
    TonerLevelInfo info = Info(40, 49);
    std::vector<std::string> seen;
    std::vector<int> positions;
    int lower = -1, upper = -1;
    const int result = Toner(info, [&](HWND dialog, int) {
        SendDlgItemMessageA(dialog, 3020, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower),
                            reinterpret_cast<LPARAM>(&upper));
        auto note = [&] {
            seen.push_back(Text(dialog, 3021));
            positions.push_back(SpinPosition(dialog));
        };
        Press(dialog, VK_UP);
        note();
        Press(dialog, VK_UP);
        note();
        Press(dialog, VK_UP);
        note();
        // From 50 down past 0; then one step back up must give 1.
        for (int i = 0; i < 52; ++i)
            Press(dialog, VK_DOWN);
        note();
        Press(dialog, VK_UP);
        note();
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 50);
    EXPECT_EQ(seen, (std::vector<std::string>{"50", "50", "50", "0", "1"}));
    EXPECT_EQ(positions, (std::vector<int>{50, 50, 50, 0, 1}));
    EXPECT_EQ(result, 1);
}

TEST_F(SupplyUiTest, OutOfRangeThresholdIsReportedAndKept)
{
    struct Case {
        const char* typed;
        const char* message;
    };
    for (const Case& c : {Case{"50", ""}, Case{"51", "Please enter the integer between 0 and 50"}}) {
        TonerLevelInfo info = Info(40, 30);
        std::string message;
        const bool expectBox = *c.message != '\0';
        const int result = Toner(info, [&](HWND dialog, int step) {
            if (step == 0) {
                SetDlgItemTextA(dialog, 3021, c.typed);
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(3021, EN_KILLFOCUS),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, 3021)));
                return false;
            }
            HWND box = MessageBoxOver("Supplies Status", dialog, message);
            if (!box && step < (expectBox ? 50 : 5))
                return false;
            if (box)
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            // Escape: closes without reading the controls again.
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        EXPECT_EQ(message, c.message) << c.typed;
        EXPECT_EQ(result, std::atoi(c.typed)) << "kept as typed";
    }
}

TEST_F(SupplyUiTest, EscapeAfterASpinReturnsTheSpunThreshold)
{
    TonerLevelInfo info = Info(40, 30);
    std::string shown;
    const int result = Toner(info, [&](HWND dialog, int) {
        Press(dialog, VK_UP);
        Press(dialog, VK_UP);
        shown = Text(dialog, 3021);
        PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        return true;
    });
    EXPECT_EQ(shown, "32");
    EXPECT_EQ(result, 32) << "the threshold the dialog held, whatever closed it";
}

TEST_F(SupplyUiTest, SecondCallActivatesTheOpenWindowAndReturnsZero)
{
    TonerLevelInfo info = Info(40, 20);
    int second = -1, windows = 0;
    bool restored = false, active = false;
    const int result = Toner(info, [&](HWND dialog, int step) {
        if (step == 0) {
            ShowWindow(dialog, SW_MINIMIZE);
            return false;
        }
        TonerLevelInfo other = Info(10, 5);
        second = toner(&other);
        restored = bed::WaitFor([&] { return !IsIconic(dialog); }, 3000);
        active = bed::WaitFor([&] { return GetForegroundWindow() == dialog; }, 3000);
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            char caption[64] = {};
            GetWindowTextA(w, caption, sizeof caption);
            windows += std::strcmp(caption, "Supplies Status") == 0;
        }
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(second, 0);
    EXPECT_TRUE(restored);
    EXPECT_TRUE(active);
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(result, 20);
}

TEST_F(SupplyUiTest, BarPaintsBandsBackgroundAndPercentage)
{
    struct Case {
        int level;
        Pixels pixels;
    };
    std::vector<Case> cases{{0, {}}, {100, {}}, {150, {}}, {-5, {}}};
    for (Case& c : cases) {
        TonerLevelInfo info = Info(c.level, 10);
        Toner(info, [&](HWND dialog, int) {
            c.pixels = PaintBar(GetDlgItem(dialog, 3001));
            Click(dialog, IDOK);
            return true;
        });
    }
    const COLORREF black = RGB(0, 0, 0), silver = RGB(192, 192, 192);
    auto count = [](const Pixels& p, auto predicate) {
        int n = 0;
        for (COLORREF c : p.rgb)
            n += predicate(c);
        return n;
    };

    const Pixels& empty = cases[0].pixels;
    ASSERT_GT(empty.width, 100);
    SCOPED_TRACE(empty.width);
    // Level 0: the first band (under 1/192 of the width, so one pixel), then background.
    EXPECT_EQ(empty.At(0, 1), black);
    EXPECT_EQ(empty.At(2, 1), silver);
    EXPECT_EQ(empty.At(empty.width - 1, 1), silver);
    EXPECT_GT(count(empty, Greenish), 0) << "0% is drawn";

    const Pixels& full = cases[1].pixels;
    EXPECT_EQ(full.At(0, 1), black);
    EXPECT_EQ(full.At(full.width - 1, 1), black);
    EXPECT_EQ(count(full, [&](COLORREF c) { return c == silver; }), 0);
    EXPECT_GT(count(full, Greenish), 0) << "100% is drawn";

    for (int i : {2, 3}) {
        const Pixels& out = cases[static_cast<size_t>(i)].pixels;
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(count(out, [&](COLORREF c) { return c != face; }), 0) << "level " << cases[i].level;
    }
}

TEST_F(SupplyUiTest, MaintenanceOpensOnceAndOnlyTheExactTitleCountsAsOpen)
{
    HiddenWindow otherCase("MAINTENANCE");
    ASSERT_NE(otherCase.Get(), nullptr);
    VoltageBiasSettings settings = Settings(1, "08:00 09:00");
    VoltageBiasSettings other = Settings(2, "01:00 02:00");
    const VoltageBiasSettings otherBefore = other;
    int second = -1, windows = 0;
    const int result = Voltage(settings, [&](HWND dialog, int) {
        second = voltage(&other);
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            char caption[64] = {};
            GetWindowTextA(w, caption, sizeof caption);
            windows += std::strcmp(caption, "Maintenance") == 0;
        }
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(std::memcmp(&other, &otherBefore, sizeof other), 0);
}

TEST_F(SupplyUiTest, MaintenanceShowsTheRecordAndOkWritesTheSameBytes)
{
    VoltageBiasSettings settings = Settings(2, "22:00 06:30");
    const VoltageBiasSettings before = settings;
    owner.answer = 1;
    bool timed = false, others = true, ticked = false;
    SYSTEMTIME start{}, end{};
    std::string okText;
    const int result = Voltage(settings, [&](HWND dialog, int) {
        timed = IsDlgButtonChecked(dialog, 4014) == BST_CHECKED;
        others = IsDlgButtonChecked(dialog, 4012) == BST_CHECKED || IsDlgButtonChecked(dialog, 4013) == BST_CHECKED;
        ticked = IsDlgButtonChecked(dialog, 3205) == BST_CHECKED;
        start = PickerTime(dialog, 4017);
        end = PickerTime(dialog, 4018);
        okText = Text(dialog, IDOK);
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(timed);
    EXPECT_FALSE(others);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(okText, "OK");
    EXPECT_EQ(start.wHour, 22);
    EXPECT_EQ(start.wMinute, 0);
    EXPECT_EQ(end.wHour, 6);
    EXPECT_EQ(end.wMinute, 30);
    EXPECT_EQ(std::memcmp(&settings, &before, 16), 0);
    EXPECT_EQ(owner.asked, 1);
    EXPECT_TRUE(owner.askedWithAddress);
    EXPECT_EQ(owner.told, std::vector<WPARAM>{1});
}

TEST_F(SupplyUiTest, TimesWithoutLeadingZerosComeBackWithTwoDigits)
{
    VoltageBiasSettings settings = Settings(1, "7:5 6:3");
    owner.answer = 0;
    bool ticked = true;
    const int result = Voltage(settings, [&](HWND dialog, int) {
        ticked = IsDlgButtonChecked(dialog, 3205) == BST_CHECKED;
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(ticked);
    EXPECT_STREQ(settings.TimeWindow, "07:05 06:03");
    EXPECT_EQ(settings.MidnightMode, 1u);
    EXPECT_EQ(owner.told, std::vector<WPARAM>{0});
}

TEST_F(SupplyUiTest, OkAfterChangingEverythingWritesTheChoicesAndTellsTheOwner)
{
    VoltageBiasSettings settings = Settings(2, "22:00 06:30");
    owner.answer = 1;
    const int result = Voltage(settings, [&](HWND dialog, int) {
        CheckRadioButton(dialog, 4012, 4014, 4013);
        CheckDlgButton(dialog, 3205, BST_UNCHECKED);
        SetPicker(dialog, 4017, 3, 15);
        SetPicker(dialog, 4018, 23, 5);
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(settings.MidnightMode, 1u);
    EXPECT_STREQ(settings.TimeWindow, "03:15 23:05");
    EXPECT_EQ(owner.told, std::vector<WPARAM>{0});
}

TEST_F(SupplyUiTest, AutoContinueStartsClearWithoutAnAnswerOrWithoutAnOwner)
{
    owner.answers = false;
    VoltageBiasSettings settings = Settings(0, "08:00 09:00");
    bool ticked = true;
    int result = Voltage(settings, [&](HWND dialog, int) {
        ticked = IsDlgButtonChecked(dialog, 3205) == BST_CHECKED;
        CheckDlgButton(dialog, 3205, BST_CHECKED);
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(ticked) << "an owner that ignores the question";
    EXPECT_EQ(owner.told, std::vector<WPARAM>{1});

    // No window of the caller is active: the dialog has no owner to ask or tell.
    DestroyWindow(owner.hwnd);
    owner.hwnd = nullptr;
    settings = Settings(2, "08:00 09:00");
    ticked = true;
    HWND dialogOwner = reinterpret_cast<HWND>(1);
    result = Voltage(settings, [&](HWND dialog, int) {
        dialogOwner = GetWindow(dialog, GW_OWNER);
        ticked = IsDlgButtonChecked(dialog, 3205) == BST_CHECKED;
        CheckRadioButton(dialog, 4012, 4014, 4012);
        CheckDlgButton(dialog, 3205, BST_CHECKED);
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(dialogOwner, nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(ticked) << "no owner";
    EXPECT_EQ(settings.MidnightMode, 0u);
    EXPECT_STREQ(settings.TimeWindow, "08:00 09:00");
}

TEST_F(SupplyUiTest, CancelAfterChangingEverythingLeavesRecordAndOwnerAlone)
{
    VoltageBiasSettings settings = Settings(2, "22:00 06:30");
    const VoltageBiasSettings before = settings;
    owner.answer = 1;
    const int result = Voltage(settings, [&](HWND dialog, int) {
        CheckRadioButton(dialog, 4012, 4014, 4012);
        CheckDlgButton(dialog, 3205, BST_UNCHECKED);
        SetPicker(dialog, 4017, 3, 15);
        SetPicker(dialog, 4018, 3, 15);
        Click(dialog, IDCANCEL);
        return true;
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
    EXPECT_TRUE(owner.told.empty());
}

TEST_F(SupplyUiTest, ImpossibleTimesLeaveTheCurrentTime)
{
    VoltageBiasSettings settings = Settings(7, "24:00 xx");
    bool anyMode = true;
    const int result = Voltage(settings, [&](HWND dialog, int) {
        anyMode = IsDlgButtonChecked(dialog, 4012) || IsDlgButtonChecked(dialog, 4013) ||
                  IsDlgButtonChecked(dialog, 4014);
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(anyMode);
    EXPECT_EQ(settings.MidnightMode, 7u) << "no button selected: the record keeps its mode";
    // Both pickers kept the current time, which OK then writes.
    int h1 = -1, m1 = -1, h2 = -1, m2 = -1;
    ASSERT_EQ(std::sscanf(settings.TimeWindow, "%d:%d %d:%d", &h1, &m1, &h2, &m2), 4);
    EXPECT_EQ(std::strlen(settings.TimeWindow), 11u);
}

TEST_F(SupplyUiTest, NoRecordIsRefusedBeforeAnythingShows)
{
    int tonerResult = 0, voltageResult = 0;
    bool shown = false;
    auto closeIfShown = [&](HWND dialog, int) {
        shown = true;
        Click(dialog, IDCANCEL);
        return true;
    };
    RunScripted("Supplies Status", closeIfShown, [&] { tonerResult = toner(nullptr); });
    EXPECT_EQ(tonerResult, -1);
    EXPECT_FALSE(shown) << "Supplies Status";
    shown = false;
    RunScripted("Maintenance", closeIfShown, [&] { voltageResult = voltage(nullptr); });
    EXPECT_EQ(voltageResult, -1) << "nothing was written";
    EXPECT_FALSE(shown) << "Maintenance";
    EXPECT_EQ(owner.asked, 0);
}

TEST_F(SupplyUiTest, CaptionIconsComeInTheSystemsTwoSizes)
{
    SIZE small{}, large{};
    TonerLevelInfo info = Info(40, 30);
    Toner(info, [&](HWND dialog, int) {
        small = IconSize(reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0)));
        large = IconSize(reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0)));
        Click(dialog, IDOK);
        return true;
    });
    EXPECT_EQ(small.cx, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(small.cy, GetSystemMetrics(SM_CYSMICON));
    EXPECT_EQ(large.cx, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(large.cy, GetSystemMetrics(SM_CYICON));
}

// No mouse: the access keys reach the labelled controls, and Up and Down on
// the threshold edit change the threshold as the up-down does.
TEST_F(SupplyUiTest, KeyboardAloneReachesAndChangesEveryControl)
{
    TonerLevelInfo info = Info(40, 30);
    int focused = 0;
    std::vector<std::string> shown;
    const int result = Toner(info, [&](HWND dialog, int step) {
        switch (step) {
        case 0:
            AltKey('n'); // "Notify when supplies reach"
            return false;
        case 1:
            focused = FocusedId(dialog);
            Key(VK_UP);
            return false;
        case 2:
            shown.push_back(Text(dialog, 3021));
            Key(VK_DOWN);
            Key(VK_DOWN);
            return false;
        case 3:
            shown.push_back(Text(dialog, 3021));
            Key(VK_RETURN);
            return true;
        default:
            return true;
        }
    });
    EXPECT_EQ(focused, 3021);
    EXPECT_EQ(shown, (std::vector<std::string>{"31", "29"}));
    EXPECT_EQ(result, 29);

    VoltageBiasSettings settings = Settings(0, "08:00 09:00");
    int endFocused = 0, startFocused = 0;
    const int closed = Voltage(settings, [&](HWND dialog, int step) {
        switch (step) {
        case 0:
            AltKey('e'); // "End Time:"
            return false;
        case 1:
            endFocused = FocusedId(dialog);
            AltKey('s'); // "Start Time:"
            return false;
        case 2:
            startFocused = FocusedId(dialog);
            AltKey('u'); // "Used for the specified time"
            return false;
        default:
            Key(VK_RETURN);
            return true;
        }
    });
    EXPECT_EQ(endFocused, 4018);
    EXPECT_EQ(startFocused, 4017);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(settings.MidnightMode, 2u);
}

// The shell may hand the address to COM handlers: COM is initialised on the
// calling thread for the call, and the host's own COM is as it was after.
// Each host thread is new and keeps its IME off: Wine's IMM, as Windows'
// does, initialises COM itself on a thread that activates a window.
TEST_F(SupplyUiTest, OrderSuppliesOpensTheLibrarysAddressWithComInitialised)
{
    const ImportPatch shell(library, "shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&RecordShellExecute));
    ASSERT_TRUE(shell.Applied());
    const std::string address = LibraryString(library, 201);
    ASSERT_FALSE(address.empty());
    struct Case {
        const char* host;
        bool initialises; // the host initialises COM on the thread, as `init`
        DWORD init;
    };
    for (const Case& c : {Case{"no COM", false, 0}, Case{"single-threaded", true, COINIT_APARTMENTTHREADED},
                          Case{"multithreaded", true, COINIT_MULTITHREADED}}) {
        SCOPED_TRACE(c.host);
        g_shellCalls.clear();
        Apartment before, after;
        bool finished = false;
        std::thread host([&] {
            ImmDisableIME(GetCurrentThreadId());
            const HRESULT init = c.initialises ? CoInitializeEx(nullptr, c.init) : E_FAIL;
            before = ThisApartment();
            TonerLevelInfo info = Info(40, 30);
            finished = RunScripted(
                "Supplies Status",
                [](HWND dialog, int step) {
                    if (step == 0)
                        Click(dialog, 3018);
                    if (g_shellCalls.empty() && step < 30)
                        return false;
                    Click(dialog, IDOK);
                    return true;
                },
                [&] { toner(&info); });
            after = ThisApartment();
            if (SUCCEEDED(init))
                CoUninitialize();
        });
        host.join();
        EXPECT_TRUE(finished);
        EXPECT_EQ(before.initialised, c.initialises) << "the host thread's COM is not as set up";
        ASSERT_EQ(g_shellCalls.size(), 1u);
        EXPECT_EQ(g_shellCalls[0].file, address);
        EXPECT_EQ(g_shellCalls[0].verb, "open");
        EXPECT_EQ(g_shellCalls[0].show, SW_SHOWNORMAL);
        EXPECT_TRUE(g_shellCalls[0].comInitialised);
        EXPECT_TRUE(after == before);
    }
}

// An allocation that fails while the dialog sets itself up: the dialog never
// shows half-built, the export says it could not be created, and neither the
// record nor the owner hears anything.
TEST_F(SupplyUiTest, AFailureWhileTheDialogIsSetUpEndsItWithMinusOneAndWritesNothing)
{
    AllocationFault fault(library);
    ASSERT_TRUE(fault.Applied());
    const DialogCreationHook armAtCreation([&] {
        fault.Arm();
        return false;
    });
    VoltageBiasSettings settings = Settings(1, "08:00 09:00");
    const VoltageBiasSettings before = settings;
    bool shown = false;
    int result = 0;
    RunScripted(
        "Maintenance",
        [&](HWND dialog, int) {
            shown = true;
            Click(dialog, IDOK);
            return true;
        },
        [&] { result = voltage(&settings); });
    EXPECT_TRUE(fault.Fired()) << "nothing of the library's set-up allocated";
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(shown);
    EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
    EXPECT_TRUE(owner.told.empty());
}

// Two UI threads of one host: Maintenance opens on the other thread first and
// closes while this thread's Supplies Status is open, whose Order Supplies
// must still open the library's address, not the host's string of that id.
TEST_F(SupplyUiTest, DialogsOnTwoUiThreadsTakeOnlyTheLibrarysResources)
{
    const ImportPatch shell(library, "shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&RecordShellExecute));
    ASSERT_TRUE(shell.Applied());
    char planted[64] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 201, planted, sizeof planted), 0) << "the host's own string 201";
    g_shellCalls.clear();
    g_closeMaintenance = false;

    int maintenanceResult = 0;
    std::thread other([&] {
        VoltageBiasSettings settings = Settings(1, "08:00 09:00");
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseMaintenanceWhenAsked);
        maintenanceResult = voltage(&settings);
        KillTimer(nullptr, timer);
    });
    const bool opened = bed::WaitFor([] { return OurWindow("Maintenance") != nullptr; }, 10000);
    bool ordered = false;
    TonerLevelInfo info = Info(40, 30);
    const int result = Toner(info, [&](HWND dialog, int step) {
        g_closeMaintenance = true;
        if (OurWindow("Maintenance") && step < 100)
            return false;
        if (!ordered) {
            Click(dialog, 3018);
            ordered = true;
            return false;
        }
        if (g_shellCalls.empty() && step < 150)
            return false;
        Click(dialog, IDOK);
        return true;
    });
    g_closeMaintenance = true;
    other.join();
    EXPECT_TRUE(opened);
    EXPECT_EQ(maintenanceResult, 1);
    EXPECT_EQ(result, 30);
    ASSERT_EQ(g_shellCalls.size(), 1u);
    EXPECT_EQ(g_shellCalls[0].file, LibraryString(library, 201));
}

// The dialogs' controls are those of the library's manifest, common controls
// 6, whether the host calls with or without them active.
TEST_F(SupplyUiTest, DialogsUseTheLibrarysCommonControlsWhateverTheHostHasActive)
{
    const ATOM plain = ButtonClass();
    ATOM version6 = 0;
    {
        const HostActivation host;
        ASSERT_TRUE(host.Active());
        version6 = ButtonClass();
    }
    ASSERT_NE(plain, version6) << "Wine no longer tells the two kinds of button apart";
    for (bool hostHasVersion6 : {false, true}) {
        SCOPED_TRACE(hostHasVersion6 ? "host with common controls 6" : "host without");
        std::unique_ptr<HostActivation> host;
        if (hostHasVersion6)
            host = std::make_unique<HostActivation>();
        ATOM supplies = 0, maintenance = 0;
        TonerLevelInfo info = Info(40, 30);
        Toner(info, [&](HWND dialog, int) {
            supplies = static_cast<ATOM>(GetClassLongA(GetDlgItem(dialog, IDOK), GCW_ATOM));
            Click(dialog, IDOK);
            return true;
        });
        VoltageBiasSettings settings = Settings(1, "08:00 09:00");
        Voltage(settings, [&](HWND dialog, int) {
            maintenance = static_cast<ATOM>(GetClassLongA(GetDlgItem(dialog, IDOK), GCW_ATOM));
            Click(dialog, IDCANCEL);
            return true;
        });
        EXPECT_EQ(supplies, version6);
        EXPECT_EQ(maintenance, version6);
    }
}
