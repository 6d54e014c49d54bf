#include "DialogScript.h"

#include <algorithm>
#include <cstring>

namespace {

Script g_script;
std::string g_title;
int g_step = 0;
bool g_done = false;
HWND g_dialog = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (g_done) {
        KillTimer(nullptr, timer);
        return;
    }
    // The first window of that title is the dialog; a message box over it
    // may carry the same title later.
    if (g_step == 0)
        g_dialog = OurWindow(g_title.c_str());
    if (!g_dialog || !IsWindowVisible(g_dialog))
        return;
    if (g_script(g_dialog, g_step++))
        g_done = true;
}

} // namespace

TonerLevelInfo Info(int level, int threshold, int capacity)
{
    TonerLevelInfo info{};
    info.TonerLevel = level;
    info.Threshold = threshold;
    info.Capacity = capacity;
    std::memset(info.Unused, 0xAB, sizeof info.Unused);
    return info;
}

VoltageBiasSettings Settings(std::uint32_t mode, const char* window)
{
    VoltageBiasSettings s{};
    std::memset(&s, 0xCD, sizeof s);
    s.MidnightMode = mode;
    std::memset(s.TimeWindow, 0, sizeof s.TimeWindow);
    std::memcpy(s.TimeWindow, window, std::min(std::strlen(window), sizeof s.TimeWindow));
    return s;
}

bool RunScripted(const char* title, Script script, const std::function<void()>& call)
{
    g_script = std::move(script);
    g_title = title;
    g_step = 0;
    g_done = false;
    g_dialog = nullptr;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
    call();
    KillTimer(nullptr, timer);
    return g_done;
}

HWND OurWindow(const char* title)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, title); w; w = FindWindowExA(nullptr, w, nullptr, title)) {
        char caption[128] = {};
        GetWindowTextA(w, caption, sizeof caption);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (std::strcmp(caption, title) == 0 && pid == GetCurrentProcessId() && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

std::string Text(HWND dialog, int id)
{
    char buffer[256] = {};
    GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
    return buffer;
}

void Click(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void Press(HWND dialog, UINT key)
{
    HWND spin = GetDlgItem(dialog, 3020);
    SendMessageA(spin, WM_KEYDOWN, key, 0);
    SendMessageA(spin, WM_KEYUP, key, 0);
}

namespace {
std::function<bool()> g_onCreate;
} // namespace

DialogCreationHook::DialogCreationHook(std::function<bool()> onCreate)
    : hook_(SetWindowsHookExA(WH_CBT, Proc, nullptr, GetCurrentThreadId()))
{
    g_onCreate = std::move(onCreate);
}

DialogCreationHook::~DialogCreationHook()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    g_onCreate = nullptr;
}

LRESULT CALLBACK DialogCreationHook::Proc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_onCreate) {
        char name[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        if (std::strcmp(name, "#32770") == 0 && g_onCreate())
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
