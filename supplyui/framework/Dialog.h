#pragma once
// Modal dialogs from templates of the current resource module, with data
// exchange between controls and members: set fields, run, read fields.

#include <windows.h>

class DataExchange;

class ModalDialog {
public:
    explicit ModalDialog(UINT templateId) : templateId_(templateId) {}
    virtual ~ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Runs the dialog; without a parent it is owned by the caller's active
    // window. The end code, or -1 when the window could not be created or
    // its initialisation failed.
    INT_PTR DoModal(HWND parent = nullptr);

    // Moves data between controls and members: to the members when `save`.
    bool UpdateData(bool save);

    HWND Handle() const { return hwnd_; }

protected:
    virtual void DoDataExchange(DataExchange&) {}
    // The default fills the controls from the members; true: default focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    virtual bool OnPaint() { return false; }
    // Anything else; true when handled, with `result` as the answer.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

    void EndDialog(INT_PTR code) { ::EndDialog(hwnd_, code); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND hwnd_ = nullptr;
};
