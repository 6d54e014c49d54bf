#include "ProgramVersion.h"

#include <cstdio>
#include <vector>

#include "FileSpec.h"

void ProgramVersionText(char (&out)[64])
{
    out[0] = '\0';
    FileSpec program;
    program.Resolve(location::ProgramFile);
    const char* path = program.Compose();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return;
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path, 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof *info)
        return;
    std::snprintf(out, sizeof out, "%u.%02u.%02u.%02u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}
