#pragma once
// Data exchange between a dialog's controls and its members.

#include <windows.h>

class Control;

class DataExchange {
public:
    DataExchange(HWND dialog, bool save) : dialog_(dialog), save_(save) {}

    bool Saving() const { return save_; }
    bool Ok() const { return ok_; }

    // A signed integer shown as text; a text that is no integer leaves the
    // member unchanged and the exchange failed.
    void Integer(int id, int& value);
    // The selected button of the group starting at `firstId`: 0, 1, ... or -1.
    void Radio(int firstId, int& value);
    // Attaches a control wrapper to its window.
    void Attach(int id, Control& control);

private:
    HWND dialog_;
    bool save_;
    bool ok_ = true;
};
