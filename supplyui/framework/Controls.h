#pragma once
// Thin wrappers of the common controls the dialogs use.

#include <windows.h>
#include <commctrl.h>

class Control {
public:
    virtual ~Control() = default;
    virtual void Attach(HWND window) { hwnd_ = window; }
    HWND Handle() const { return hwnd_; }

protected:
    HWND hwnd_ = nullptr;
};

class UpDownCtrl : public Control {
public:
    void SetRange(int lower, int upper) { SendMessageA(hwnd_, UDM_SETRANGE32, lower, upper); }
    void SetPos(int position) { SendMessageA(hwnd_, UDM_SETPOS32, 0, position); }
    int GetPos() const { return static_cast<int>(SendMessageA(hwnd_, UDM_GETPOS32, 0, 0)); }
};

class ProgressCtrl : public Control {
public:
    void SetRange(int lower, int upper) { SendMessageA(hwnd_, PBM_SETRANGE32, lower, upper); }
    void SetPos(int position) { SendMessageA(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0); }
};

class DateTimeCtrl : public Control {
public:
    void SetFormat(const char* format) { SendMessageA(hwnd_, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(format)); }
    bool SetTime(const SYSTEMTIME& time)
    {
        return SendMessageA(hwnd_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)) != 0;
    }
    bool GetTime(SYSTEMTIME& time) const
    {
        return SendMessageA(hwnd_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID;
    }
};

class ButtonCtrl : public Control {
public:
    void SetCheck(bool checked) { SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }
    bool GetCheck() const { return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
};
