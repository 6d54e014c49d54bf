#include "LibraryActivation.h"

#include "framework/ResourceModule.h"

LibraryActivation::LibraryActivation()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(ResourceModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path;
    context.hModule = ResourceModule();
    context.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
    context_ = CreateActCtxA(&context);
    // Without it the dialogs still work, with the host's common controls.
    if (context_ != INVALID_HANDLE_VALUE)
        active_ = ActivateActCtx(context_, &cookie_) != FALSE;
}

LibraryActivation::~LibraryActivation()
{
    if (active_)
        DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE)
        ReleaseActCtx(context_);
}
