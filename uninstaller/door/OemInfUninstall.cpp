#include "OemInfUninstall.h"

#include <setupapi.h>

#include "../common/Handles.h"
#include "../common/Text.h"

namespace {

OemInfUninstaller& TestUninstaller()
{
    static OemInfUninstaller uninstaller;
    return uninstaller;
}

BOOL SetupLibraryUninstall(const char* infName, DWORD flags)
{
    LoadedModule setupApi = LoadSystemLibrary("setupapi.dll");
    if (!setupApi)
        return FALSE;
    using UninstallFn = BOOL(WINAPI*)(PCSTR, DWORD, PVOID);
    const auto uninstall = ProcAddress<UninstallFn>(setupApi.Get(), "SetupUninstallOEMInfA");
    return uninstall && uninstall(infName, flags, nullptr);
}

} // namespace

void SetOemInfUninstaller(OemInfUninstaller uninstaller) { TestUninstaller() = std::move(uninstaller); }

int UninstallOemInf(const char* infName)
{
    char full[text::kMaxText] = {};
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(infName, sizeof full, full, &filePart);
    if (length == 0 || length >= sizeof full || !filePart || !*filePart)
        return 2;
    // Never forced: the setup library refuses a package that a device still
    // uses, and that refusal stands.
    const BOOL done = TestUninstaller() ? TestUninstaller()(filePart, 0) : SetupLibraryUninstall(filePart, 0);
    return done ? 0 : 2;
}
