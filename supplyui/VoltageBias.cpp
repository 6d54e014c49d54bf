#include "VoltageBias.h"

#include <oleauto.h>

#include <cstdio>
#include <cstring>

#include "StringRing.h"
#include "framework/DataExchange.h"
#include "res/resource.h"

namespace {

// A time on the zero day of the platform's floating-point date, kept only
// when it survives the conversion there and back unchanged.
bool TimeOfDay(int hour, int minute, SYSTEMTIME& out)
{
    SYSTEMTIME t{};
    t.wYear = 1899;
    t.wMonth = 12;
    t.wDay = 30;
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    if (hour < 0 || minute < 0 || hour > 0xFFFF || minute > 0xFFFF)
        return false;
    double date = 0;
    SYSTEMTIME back{};
    if (!SystemTimeToVariantTime(&t, &date) || !VariantTimeToSystemTime(date, &back))
        return false;
    if (back.wYear != t.wYear || back.wMonth != t.wMonth || back.wDay != t.wDay || back.wHour != t.wHour ||
        back.wMinute != t.wMinute || back.wSecond != 0)
        return false;
    out = t;
    return true;
}

void SetText(HWND dialog, int id, UINT stringId)
{
    SetDlgItemTextA(dialog, id, LoadLibraryString(stringId).c_str());
}

} // namespace

bool ParseTimeWindow(const char* text, SYSTEMTIME& start, SYSTEMTIME& end, bool& startValid, bool& endValid)
{
    char bounded[13] = {};
    std::snprintf(bounded, sizeof bounded, "%.12s", text);
    int h1 = -1, m1 = -1, h2 = -1, m2 = -1;
    std::sscanf(bounded, "%d:%d %d:%d", &h1, &m1, &h2, &m2);
    endValid = TimeOfDay(h2, m2, end);
    startValid = TimeOfDay(h1, m1, start);
    return startValid && endValid;
}

CVoltageBias::CVoltageBias(VoltageBiasSettings& s) : ModalDialog(IDD_VOLTAGE_BIAS), settings(s) {}

void CVoltageBias::DoDataExchange(DataExchange& dx)
{
    dx.Attach(IDC_START_TIME, startTime);
    dx.Attach(IDC_END_TIME, endTime);
    dx.Attach(IDC_AUTO_CONTINUE, autoContinueBox);
    dx.Radio(IDC_MODE_NOT_USED, mode);
}

BOOL CVoltageBias::OnInitDialog()
{
    ModalDialog::OnInitDialog();
    HWND dialog = Handle();
    SetText(dialog, IDC_AUTO_CONTINUE, IDS_AUTO_CONTINUE_CHECK);
    SetText(dialog, IDC_AUTO_CONTINUE_GROUP, IDC_AUTO_CONTINUE_GROUP);

    autoContinueBox.SetCheck(true);
    // Without an owner there is nobody to ask; the box then starts clear.
    if (HWND owner = GetParent(dialog))
        SendMessageA(owner, kAskAutoContinue, 0, reinterpret_cast<LPARAM>(&autoContinue));
    autoContinueBox.SetCheck(autoContinue != 0);

    for (int id : {IDC_MODE_NOT_USED, IDC_MODE_ALWAYS, IDC_MODE_TIMED, IDC_START_LABEL, IDC_END_LABEL,
                   IDC_MIDNIGHT_GROUP})
        SetText(dialog, id, static_cast<UINT>(id));

    const std::uint32_t recorded = settings.MidnightMode;
    for (int i = 0; i < 3; ++i)
        CheckDlgButton(dialog, IDC_MODE_NOT_USED + i, recorded == static_cast<std::uint32_t>(i) ? BST_CHECKED : BST_UNCHECKED);

    startTime.SetFormat("HH':'mm");
    endTime.SetFormat("HH':'mm");
    SYSTEMTIME start{}, end{};
    bool startValid = false, endValid = false;
    ParseTimeWindow(settings.TimeWindow, start, end, startValid, endValid);
    if (endValid)
        endTime.SetTime(end);
    if (startValid)
        startTime.SetTime(start);

    SetText(dialog, IDOK, IDS_OK);
    SetText(dialog, IDCANCEL, IDS_CANCEL);
    return TRUE;
}

void CVoltageBias::OnOK()
{
    const WPARAM ticked = autoContinueBox.GetCheck() ? 1 : 0;
    if (HWND owner = GetParent(Handle()))
        SendMessageA(owner, kTellAutoContinue, ticked, 0);
    UpdateData(true);
    SYSTEMTIME start{}, end{};
    startTime.GetTime(start);
    endTime.GetTime(end);
    char window[sizeof settings.TimeWindow + 8];
    std::snprintf(window, sizeof window, "%02d:%02d %02d:%02d", start.wHour % 100, start.wMinute % 100,
                  end.wHour % 100, end.wMinute % 100);
    std::memcpy(settings.TimeWindow, window, sizeof settings.TimeWindow);
    settings.TimeWindow[sizeof settings.TimeWindow - 1] = '\0';
    // A record mode outside the group selected no button; with none
    // selected the record keeps its mode.
    if (mode >= 0)
        settings.MidnightMode = static_cast<std::uint32_t>(mode);
    UpdateData(false);
    EndDialog(IDOK);
}
