#include "FileProtection.h"

#include <windows.h>

#include "../common/Handles.h"
#include "../common/Text.h"

namespace {

ProtectionTest protectionTest = nullptr;

using SfcIsFileProtectedFn = BOOL(WINAPI*)(HANDLE, LPCWSTR);

bool AskWindows(const char* path)
{
    static LoadedModule sfc = LoadSystemLibrary("sfc.dll");
    static const auto isProtected =
        sfc ? ProcAddress<SfcIsFileProtectedFn>(sfc.Get(), "SfcIsFileProtected") : nullptr;
    if (!isProtected)
        return true;
    wchar_t wide[text::kMaxText] = {};
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, static_cast<int>(text::kMaxText)) == 0)
        return true;
    return isProtected(nullptr, wide) != FALSE;
}

} // namespace

bool IsProtectedByWindows(const char* path)
{
    return protectionTest ? protectionTest(path) : AskWindows(path);
}

bool IsProtectedByWindows(const PlatformKind& platform, const char* path)
{
    // Windows File Protection came with Windows 2000 and Me; before them
    // there is nothing to ask and nothing protected.
    const std::uint32_t kind = platform.versionKind();
    if (!protectionTest && (kind == platform::kKindWin32s || kind == platform::kKindWin95 ||
                            kind == platform::kKindWin98 || kind == platform::kKindNT3 || kind == platform::kKindNT4))
        return false;
    return IsProtectedByWindows(path);
}

void SetProtectionTest(ProtectionTest test)
{
    protectionTest = test;
}
