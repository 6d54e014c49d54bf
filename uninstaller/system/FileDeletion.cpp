#include "FileDeletion.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "ZwininitDelete.h"

namespace {

// Errors that mean there is nothing to delete: invalid function, file not
// found, path not found.
constexpr DWORD kFirstRealError = 4;

void ScheduleAtRestart(const PlatformKind& platform, const char* path)
{
    switch (platform.versionKind()) {
    case platform::kKindWin32s:
    case platform::kKindNT3:
        AddZwininitDelete(path);
        break;
    case platform::kKindWin95:
    case platform::kKindWin98:
    case platform::kKindWinMe:
        AppendWininitDelete(path);
        break;
    default:
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        break;
    }
}

} // namespace

bool IsFullPath(const char* path)
{
    if (!path)
        return false;
    const auto letter = static_cast<unsigned char>(path[0]);
    const bool drive = ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) && path[1] == ':' &&
                       path[2] == '\\';
    const bool share = path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\';
    return drive || share;
}

int DeleteOrScheduleFile(const PlatformKind& platform, const char* path)
{
    if (!IsFullPath(path) || std::strlen(path) >= text::kMaxText)
        return 1;
    if (DeleteFileA(path) || GetLastError() < kFirstRealError)
        return 1;
    ScheduleAtRestart(platform, path);
    return 0;
}

void AppendWininitDelete(const char* path)
{
    if (!IsFullPath(path))
        return;
    char windows[text::kMaxText] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return;
    std::string list(windows);
    if (!text::EndsWithSeparator(list, text::IsLeadByte))
        list.push_back('\\');
    list += "WININIT.INI";
    KernelHandle file(CreateFileA(list.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    DWORD written = 0;
    if (created && !WriteFile(file.Get(), "[RENAME]\r\n", 10, &written, nullptr))
        return;
    // One write, so that a line is never left half written.
    const std::string line = std::string("NUL=") + path + "\r\n";
    if (SetFilePointer(file.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        return;
    WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
