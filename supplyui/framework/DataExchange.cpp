#include "DataExchange.h"

#include "Controls.h"

void DataExchange::Integer(int id, int& value)
{
    if (!save_) {
        SetDlgItemInt(dialog_, id, static_cast<UINT>(value), TRUE);
        return;
    }
    BOOL translated = FALSE;
    const int read = static_cast<int>(GetDlgItemInt(dialog_, id, &translated, TRUE));
    if (translated)
        value = read;
    else
        ok_ = false;
}

void DataExchange::Radio(int firstId, int& value)
{
    // The group runs from the first button to the next control that starts a group.
    HWND first = GetDlgItem(dialog_, firstId);
    int index = 0;
    for (HWND button = first; button; button = GetWindow(button, GW_HWNDNEXT), ++index) {
        if (button != first && (GetWindowLongA(button, GWL_STYLE) & WS_GROUP))
            break;
        if (save_) {
            if (index == 0)
                value = -1;
            if (SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DataExchange::Attach(int id, Control& control) { control.Attach(GetDlgItem(dialog_, id)); }
