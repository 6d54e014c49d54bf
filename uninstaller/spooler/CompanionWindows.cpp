#include "CompanionWindows.h"

#include "../common/Journal.h"

namespace {

struct CompanionClass {
    const char* name;
    LPARAM lParam;
};

constexpr CompanionClass kCompanions[] = {
    {"SdStatusWindowClass_Q", 0}, {"QRVStatusClass_Q", 0},  {"QRVInstallClass__", 0},
    {"ZbridgeWClass_Q", 0},       {"SPLAGENT64_QClass", 0}, {"ZMsgPopClass_Q", 0},
    {"VELTROPEDLGCLASS_Q", 0},    {"ZPSD_Q", 1},
};

constexpr char kCloseMessage[] = "QUninstClose_Q";

// A hung companion would otherwise hold the uninstaller forever.
UINT answerTimeout = 5000;

} // namespace

void SetCompanionAnswerTimeout(UINT milliseconds) { answerTimeout = milliseconds; }

int CloseWindowByClass(const char* windowClass, WPARAM wParam, LPARAM lParam)
{
    HWND window = FindWindowA(windowClass, nullptr);
    if (!window)
        return 0;
    if (journal::WouldChange(journal::op::kCompanion, windowClass, "close"))
        return 1;
    DWORD_PTR answer = 1;
    if (!SendMessageTimeoutA(window, WM_CLOSE, wParam, lParam, SMTO_ABORTIFHUNG, answerTimeout, &answer)) {
        journal::Failed(journal::op::kCompanion, windowClass, GetLastError());
        return 0;
    }
    if (answer != 0) {
        journal::Kept(journal::op::kCompanion, windowClass, "the program would not close");
        return 0;
    }
    journal::Changed(journal::op::kCompanion, windowClass, "closed");
    return 1;
}

int CloseCompanionWindows()
{
    for (const CompanionClass& companion : kCompanions)
        CloseWindowByClass(companion.name, 0, companion.lParam);
    const UINT message = RegisterWindowMessageA(kCloseMessage);
    if (message != 0 && !journal::WouldChange(journal::op::kCompanion, kCloseMessage, "ask to close") &&
        PostMessageA(HWND_BROADCAST, message, 0, 0))
        journal::Changed(journal::op::kCompanion, kCloseMessage, "asked to close");
    return 1;
}
