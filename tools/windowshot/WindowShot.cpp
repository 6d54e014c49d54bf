// windowshot CLASS OUT.png [--close]
// Waits for a visible top-level window of that class, saves what the screen
// shows of it as a PNG, and with --close asks it to close (WM_CLOSE).
// A demo helper: it never ships with the deliverables.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "Capture.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: windowshot CLASS OUT.png [--close]\n");
        return 2;
    }
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        HWND found = FindWindowA(argv[1], nullptr);
        if (found && IsWindowVisible(found))
            window = found;
        else
            Sleep(100);
    }
    if (!window) {
        std::fprintf(stderr, "windowshot: no window of class %s\n", argv[1]);
        return 1;
    }
    const bool saved = SaveWindowPng(window, argv[2]);
    if (argc > 3 && std::strcmp(argv[3], "--close") == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return saved ? 0 : 1;
}
