#pragma once

#include <windows.h>

// Centres a top-level window on the desktop, never with its left or top edge
// off the screen.
void CentreOnDesktop(HWND window);

// Moves `page` to cover the control `frameId` of its parent exactly.
void CoverFrame(HWND parent, HWND page, int frameId);
