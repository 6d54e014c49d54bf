#pragma once
// The module whose resources (templates, strings, icons) the framework reads.
// Every export switches it to the library on entry and restores the caller's
// on every exit, exceptions included.

#include <windows.h>

HINSTANCE CurrentResourceModule();

class ModuleStateGuard {
public:
    explicit ModuleStateGuard(HINSTANCE module);
    ~ModuleStateGuard();
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;

private:
    HINSTANCE previous_;
};

// The library's own module handle, set when it is loaded.
HINSTANCE LibraryModule();
void SetLibraryModule(HINSTANCE module);
