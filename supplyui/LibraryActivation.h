#pragma once
// The library's own activation context, from the manifest it carries, active
// for the life of the object: the common controls the dialogs use are the
// same ones whatever context the host has active when it calls.

#include <windows.h>

class LibraryActivation {
public:
    LibraryActivation();
    ~LibraryActivation();
    LibraryActivation(const LibraryActivation&) = delete;
    LibraryActivation& operator=(const LibraryActivation&) = delete;

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};
