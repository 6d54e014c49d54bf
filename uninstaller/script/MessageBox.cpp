#include "MessageBox.h"

#include "../common/Journal.h"
#include "UiSettings.h"

namespace {
MessageAnswerer& Answerer()
{
    static MessageAnswerer answerer;
    return answerer;
}
} // namespace

void SetMessageAnswerer(MessageAnswerer answerer) { Answerer() = std::move(answerer); }

namespace {
const char* AnswerName(int answer)
{
    switch (answer) {
    case IDOK:
        return "OK";
    case IDYES:
        return "answered Yes";
    case IDNO:
        return "answered No";
    case IDCANCEL:
        return "answered Cancel";
    default:
        return "closed";
    }
}
} // namespace

int ShowMessage(HWND, const char* text, const char* title, UINT style)
{
    if (RightToLeftWanted())
        style |= MB_RTLREADING;
    const int answer = Answerer() ? Answerer()(text, title, style) : MessageBoxA(nullptr, text, title, style);
    journal::Message(text, AnswerName(answer));
    return answer;
}
