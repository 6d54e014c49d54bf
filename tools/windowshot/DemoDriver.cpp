// demodriver MAIN.png REMOVAL.png [--exit]
// Plays the administrator on the demo machine: waits for prnuninst's main
// window, saves it with the printers listed, chooses the first printer,
// starts the removal, saves the main window again once the completion
// message shows (the message moved aside), and confirms it; with --exit it
// then presses Exit. A demo helper: it never ships with the deliverables.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "Capture.h"

namespace {

constexpr char kMainClass[] = "QRVUninstallWindowClass_Q";
constexpr int kPrinterList = 2006, kUninstall = 2009, kExit = 2008;

template <typename Predicate>
bool WaitFor(Predicate done, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (done())
            return true;
        Sleep(100);
    }
    return false;
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
        if (owner == process && IsWindowVisible(w) && GetDlgItem(w, IDOK))
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
    HWND list = PrinterList(main);
    if (!list || !WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 20))
        return Fail("no printers listed");
    if (!SaveWindowPng(main, argv[1]))
        return 1;

    // As the keyboard chooses: End moves to the last printer, Home back to
    // the first, which stays the only one selected.
    for (WPARAM key : {VK_END, VK_HOME}) {
        PostMessageA(list, WM_KEYDOWN, key, 0);
        PostMessageA(list, WM_KEYUP, key, 0);
    }
    if (!WaitFor([&] { return IsWindowEnabled(GetDlgItem(main, kUninstall)) != FALSE; }, 10))
        return Fail("choosing a printer did not enable Uninstall");
    PostMessageA(GetDlgItem(main, kUninstall), BM_CLICK, 0, 0);

    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = MessageBoxOf(process)) != nullptr; }, 120))
        return Fail("the removal never ended");
    RECT mainRect{}, boxRect{};
    GetWindowRect(main, &mainRect);
    GetWindowRect(box, &boxRect);
    // Beside the main window, so that the finished page shows whole.
    SetWindowPos(box, nullptr, mainRect.left, mainRect.bottom + 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const bool saved = SaveWindowPng(main, argv[2]);
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    if (argc > 3 && std::strcmp(argv[3], "--exit") == 0) {
        WaitFor([&] { return IsWindowEnabled(GetDlgItem(main, kExit)) != FALSE; }, 20);
        PostMessageA(GetDlgItem(main, kExit), BM_CLICK, 0, 0);
    }
    return saved ? 0 : 1;
}
