// demodriver MAIN.png REMOVAL.png [--exit]
// Plays the administrator on the demo machine: waits for prnuninst's main
// window, saves it with the printers listed, chooses every printer with
// "Select all", starts the removal, confirms each message on the way, saves
// the main window again once the last message shows (moved aside), and
// answers it, never with a restart; with --exit it then presses Exit. It
// prints each message and how long the loading and the removal took. A demo
// helper: it never ships with the deliverables.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Capture.h"

namespace {

constexpr char kMainClass[] = "QRVUninstallWindowClass_Q";
constexpr int kPrinterList = 2006, kUninstall = 2009, kExit = 2008, kSelectAll = 616;

// Polled often enough that the times printed are within a few ms.
template <typename Predicate>
bool WaitFor(Predicate done, int seconds)
{
    for (int i = 0; i < seconds * 50; ++i) {
        if (done())
            return true;
        Sleep(20);
    }
    return false;
}

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

// Milliseconds since the process of `window` started; -1 when unknown.
long long MsSinceStartOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    const bool known = process && GetProcessTimes(process, &created, &exited, &kernel, &user);
    if (process)
        CloseHandle(process);
    GetSystemTimeAsFileTime(&now);
    return known ? static_cast<long long>((Ticks(now) - Ticks(created)) / 10000) : -1;
}

// A text of the program (code page 932) as UTF-8, for the terminal.
std::string Utf8(const char* ansi)
{
    wchar_t wide[1024] = {};
    char utf8[3072] = {};
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 1024) == 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) == 0)
        return ansi;
    return utf8;
}

std::string Ansi(const char* utf8)
{
    wchar_t wide[1024] = {};
    char ansi[2048] = {};
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024) == 0 ||
        WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr) == 0)
        return {};
    return ansi;
}

std::string TextOf(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND PrinterList(HWND main)
{
    for (HWND page = FindWindowExA(main, nullptr, "#32770", nullptr); page;
         page = FindWindowExA(main, page, "#32770", nullptr)) {
        if (HWND list = GetDlgItem(page, kPrinterList))
            return list;
    }
    return nullptr;
}

// The program's message box: a plain dialog owned by no window but the
// desktop, not the program's own class.
HWND MessageBoxOf(DWORD process)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w; w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process && IsWindowVisible(w) && (GetDlgItem(w, IDOK) || GetDlgItem(w, IDNO)))
            return w;
    }
    return nullptr;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "demodriver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Fail("usage: demodriver MAIN.png REMOVAL.png [--exit]");
    HWND main = nullptr;
    if (!WaitFor([&] { return (main = FindWindowA(kMainClass, nullptr)) && IsWindowVisible(main); }, 90))
        return Fail("no main window");
    const long long loading = MsSinceStartOf(main);
    HWND list = PrinterList(main);
    if (!list || !WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 20))
        return Fail("no printers listed");
    std::printf("demodriver: the main window showed %lld ms after the program started, with %d printers listed\n",
                loading, static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
    if (!SaveWindowPng(main, argv[1]))
        return 1;

    // As the list's context menu chooses it.
    PostMessageA(GetParent(list), WM_COMMAND, kSelectAll, 0);
    if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(main, kUninstall)) != FALSE; }, 10))
        return Fail("choosing the printers did not enable Uninstall");
    std::printf("demodriver: %d printers chosen\n", static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0)));
    std::fflush(stdout);
    LARGE_INTEGER frequency{}, clicked{}, finished{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&clicked);
    PostMessageA(GetDlgItem(main, kUninstall), BM_CLICK, 0, 0);

    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    // The last message tells the removal is over or asks for the restart;
    // any other (a new default printer) comes on the way and is confirmed.
    const std::string last = Ansi("プリンタのアンインストール");
    HWND box = nullptr;
    for (;;) {
        if (!WaitFor([&] { return (box = MessageBoxOf(process)) != nullptr; }, 120))
            return Fail("the removal never ended");
        const std::string text = TextOf(GetDlgItem(box, 0xFFFF));
        std::printf("demodriver: message \"%s\"\n", Utf8(text.c_str()).c_str());
        std::fflush(stdout);
        if (text.rfind(last, 0) == 0)
            break;
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10);
    }
    QueryPerformanceCounter(&finished);
    std::printf("demodriver: the removal took %.0f ms from the Uninstall click to its last message\n",
                static_cast<double>(finished.QuadPart - clicked.QuadPart) * 1000.0 /
                    static_cast<double>(frequency.QuadPart));
    RECT mainRect{}, boxRect{};
    GetWindowRect(main, &mainRect);
    GetWindowRect(box, &boxRect);
    // Beside the main window, so that the finished page shows whole.
    SetWindowPos(box, nullptr, mainRect.left, mainRect.bottom + 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const bool saved = SaveWindowPng(main, argv[2]);
    const bool restartOffered = GetDlgItem(box, IDNO) != nullptr;
    PostMessageA(GetDlgItem(box, restartOffered ? IDNO : IDOK), BM_CLICK, 0, 0);
    if (restartOffered)
        std::printf("demodriver: answered No to the restart\n");
    else if (argc > 3 && std::strcmp(argv[3], "--exit") == 0) {
        WaitFor([&] { return IsWindowEnabled(GetDlgItem(main, kExit)) != FALSE; }, 20);
        PostMessageA(GetDlgItem(main, kExit), BM_CLICK, 0, 0);
    }
    return saved ? 0 : 1;
}
