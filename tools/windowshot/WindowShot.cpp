// windowshot CLASS OUT.png [--close]
// Waits for a visible top-level window of that class, saves what the screen
// shows of it as a PNG, and with --close asks it to close (WM_CLOSE).
// A demo helper: it never ships with the deliverables.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Png.h"

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
    // Let the window finish painting.
    Sleep(1500);
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);

    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();

    std::vector<std::uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    const auto* bgra = static_cast<const std::uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[i * 3 + 0] = bgra[i * 4 + 2];
        rgb[i * 3 + 1] = bgra[i * 4 + 1];
        rgb[i * 3 + 2] = bgra[i * 4 + 0];
    }
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    const bool saved = WritePng(argv[2], width, height, rgb);
    if (argc > 3 && std::strcmp(argv[3], "--close") == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (!saved) {
        std::fprintf(stderr, "windowshot: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("windowshot: %dx%d saved to %s\n", width, height, argv[2]);
    return 0;
}
