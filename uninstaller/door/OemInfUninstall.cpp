#include "OemInfUninstall.h"

#include <windows.h>
#include <setupapi.h>

#include "../common/Handles.h"
#include "../common/Text.h"

int UninstallOemInf(const char* infName)
{
    char full[text::kMaxText] = {};
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(infName, sizeof full, full, &filePart);
    if (length == 0 || length >= sizeof full || !filePart || !*filePart)
        return 2;
    LoadedModule setupApi = LoadSystemLibrary("setupapi.dll");
    if (!setupApi)
        return 2;
    using UninstallFn = BOOL(WINAPI*)(PCSTR, DWORD, PVOID);
    const auto uninstall = ProcAddress<UninstallFn>(setupApi.Get(), "SetupUninstallOEMInfA");
    if (!uninstall)
        return 2;
    return uninstall(filePart, SUOI_FORCEDELETE, nullptr) ? 0 : 2;
}
