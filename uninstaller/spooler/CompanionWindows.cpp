#include "CompanionWindows.h"

#include "../door/Door.h"

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

int CloseWindowByClass(Door& door, const char* windowClass, WPARAM wParam, LPARAM lParam)
{
    HWND window = FindWindowA(windowClass, nullptr);
    if (!window)
        return 0;
    return door.CloseCompanion(window, windowClass, wParam, lParam, answerTimeout) ? 1 : 0;
}

int CloseCompanionWindows(Door& door, bool again)
{
    for (const CompanionClass& companion : kCompanions)
        CloseWindowByClass(door, companion.name, 0, companion.lParam);
    if (const UINT message = RegisterWindowMessageA(kCloseMessage))
        door.BroadcastCloseRequest(message, kCloseMessage, again);
    return 1;
}
