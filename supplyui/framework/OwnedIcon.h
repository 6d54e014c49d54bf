#pragma once
// An icon loaded at a size of its own, destroyed with its owner. Icons that
// LoadIconA shares need no owner.

#include <windows.h>

class OwnedIcon {
public:
    OwnedIcon() = default;
    explicit OwnedIcon(HICON icon) : icon_(icon) {}
    ~OwnedIcon()
    {
        if (icon_)
            DestroyIcon(icon_);
    }
    OwnedIcon(const OwnedIcon&) = delete;
    OwnedIcon& operator=(const OwnedIcon&) = delete;

    HICON Get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};
