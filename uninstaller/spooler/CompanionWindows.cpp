#include "CompanionWindows.h"

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
    DWORD_PTR answer = 1;
    if (!SendMessageTimeoutA(window, WM_CLOSE, wParam, lParam, SMTO_ABORTIFHUNG, answerTimeout, &answer))
        return 0;
    return answer == 0 ? 1 : 0;
}

int CloseCompanionWindows()
{
    for (const CompanionClass& companion : kCompanions)
        CloseWindowByClass(companion.name, 0, companion.lParam);
    const UINT message = RegisterWindowMessageA(kCloseMessage);
    if (message != 0)
        PostMessageA(HWND_BROADCAST, message, 0, 0);
    return 1;
}
