#pragma once
#include <windows.h>

// Saves what the screen shows of a window as a PNG, after letting it paint.
bool SaveWindowPng(HWND window, const char* path);
