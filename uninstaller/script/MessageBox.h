#pragma once
// The one message-box call of the program.

#include <windows.h>

#include <functional>

// Shows `text` with `title`. The box never has an owner window, whatever the
// caller passes; the style gains right-to-left reading for Arabic and Hebrew.
int ShowMessage(HWND window, const char* text, const char* title, UINT style);

// Tests answer message boxes instead of a user: the answerer gets the text,
// title and final style of each box and returns the button. An empty function
// puts the real message box back.
using MessageAnswerer = std::function<int(const char* text, const char* title, UINT style)>;
void SetMessageAnswerer(MessageAnswerer answerer);
