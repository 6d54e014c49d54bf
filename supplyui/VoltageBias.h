#pragma once
// The Maintenance dialog: Midnight Mode with its daily time window, and Auto
// Continue, which the owner window keeps.

#include "Records.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"

// Messages to the owner window.
constexpr UINT kAskAutoContinue = WM_USER + 114;  // lParam: address of an int to fill
constexpr UINT kTellAutoContinue = WM_USER + 112; // wParam: 1 ticked, 0 not

class CVoltageBias : public ModalDialog {
public:
    explicit CVoltageBias(VoltageBiasSettings& settings);

    int autoContinue = 0;
    VoltageBiasSettings& settings;
    DateTimeCtrl startTime, endTime;
    ButtonCtrl autoContinueBox;
    int mode = -1;

protected:
    void DoDataExchange(DataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};

// Reads "h:m h:m" into a start and an end time on 30 December 1899; false for
// a time that doesn't parse or isn't a time of day.
bool ParseTimeWindow(const char* text, SYSTEMTIME& start, SYSTEMTIME& end, bool& startValid, bool& endValid);
