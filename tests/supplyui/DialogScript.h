#pragma once
// The library as a printer driver's user interface calls it: its records as
// the caller lays them out, and dialogs worked from inside their modal loop
// by a timer on the calling thread.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

struct TonerLevelInfo {
    std::int32_t TonerLevel;
    std::uint8_t Unused[24];
    std::int32_t Threshold;
    std::int32_t Capacity;
};

struct VoltageBiasSettings {
    std::uint32_t MidnightMode;
    char TimeWindow[12];
};

using TonerFn = int(WINAPI*)(TonerLevelInfo*);
using VoltageFn = int(WINAPI*)(VoltageBiasSettings*);

// A record with the unused bytes filled, so that a write shows.
TonerLevelInfo Info(int level, int threshold, int capacity = 4500);
VoltageBiasSettings Settings(std::uint32_t mode, const char* window);

// Called with the dialog and a step counter on each tick once the dialog
// shows; true when done.
using Script = std::function<bool(HWND dialog, int step)>;

// Runs `call` while `script` works our window titled `title` from a timer of
// this thread; whether the script finished.
bool RunScripted(const char* title, Script script, const std::function<void()>& call);

// Our visible top-level window of exactly that title.
HWND OurWindow(const char* title);

std::string Text(HWND dialog, int id);
void Click(HWND dialog, int id);

// An arrow key pressed and released on the up-down: the control moves its
// own position and notifies the dialog, as for a user.
void Press(HWND dialog, UINT key);

// Runs `onCreate` (on this thread, from a hook) whenever a dialog window is
// about to be created; true from it refuses the window.
class DialogCreationHook {
public:
    explicit DialogCreationHook(std::function<bool()> onCreate);
    ~DialogCreationHook();
    DialogCreationHook(const DialogCreationHook&) = delete;
    DialogCreationHook& operator=(const DialogCreationHook&) = delete;

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_;
};
