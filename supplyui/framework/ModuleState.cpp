#include "ModuleState.h"

namespace {
// Per thread: each caller's user-interface thread has its own state.
thread_local HINSTANCE g_current = nullptr;
HINSTANCE g_library = nullptr;
} // namespace

HINSTANCE CurrentResourceModule() { return g_current; }

ModuleStateGuard::ModuleStateGuard(HINSTANCE module) : previous_(g_current) { g_current = module; }

ModuleStateGuard::~ModuleStateGuard() { g_current = previous_; }

HINSTANCE LibraryModule() { return g_library; }
void SetLibraryModule(HINSTANCE module) { g_library = module; }
