#pragma once
// The Supplies Status dialog: toner level bar, capacity, and the threshold
// at which the driver warns.

#include "GradientProgressCtrl.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/OwnedIcon.h"

class CTonerLevel : public ModalDialog {
public:
    CTonerLevel();

    UpDownCtrl spin;
    CGradientProgressCtrl bar;
    int tonerLevel = 0;
    int threshold = 0;
    int capacity = 0;

protected:
    void DoDataExchange(DataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    bool OnPaint() override;

private:
    HICON icon_;          // shared, at the large size
    OwnedIcon smallIcon_; // the small image, for the caption
};
