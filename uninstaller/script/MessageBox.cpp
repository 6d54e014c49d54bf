#include "MessageBox.h"

#include "UiSettings.h"

namespace {
MessageAnswerer& Answerer()
{
    static MessageAnswerer answerer;
    return answerer;
}
} // namespace

void SetMessageAnswerer(MessageAnswerer answerer) { Answerer() = std::move(answerer); }

int ShowMessage(HWND, const char* text, const char* title, UINT style)
{
    if (RightToLeftWanted())
        style |= MB_RTLREADING;
    if (Answerer())
        return Answerer()(text, title, style);
    return MessageBoxA(nullptr, text, title, style);
}
