#include "ModuleState.h"

namespace {
// The exports run on the caller's user-interface thread only, so one state
// does. Not thread_local: MinGW emulates that with a TLS slot that each load
// of the library takes and no unload gives back.
HINSTANCE g_current = nullptr;
HINSTANCE g_library = nullptr;
} // namespace

HINSTANCE CurrentResourceModule() { return g_current; }

ModuleStateGuard::ModuleStateGuard(HINSTANCE module) : previous_(g_current) { g_current = module; }

ModuleStateGuard::~ModuleStateGuard() { g_current = previous_; }

HINSTANCE LibraryModule() { return g_library; }
void SetLibraryModule(HINSTANCE module) { g_library = module; }
