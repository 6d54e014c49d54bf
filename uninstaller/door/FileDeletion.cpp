#include "FileDeletion.h"

#include <windows.h>

#include <string>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../script/PathParts.h"
#include "ZwininitDelete.h"

bool ScheduleAtRestart(const PlatformKind& platform, const char* path)
{
    switch (platform.versionKind()) {
    case platform::kKindWin32s:
    case platform::kKindNT3:
        return AddZwininitDelete(path) != 0;
    case platform::kKindWin95:
    case platform::kKindWin98:
    case platform::kKindWinMe:
        return AppendWininitDelete(path);
    default:
        return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    }
}

bool AppendWininitDelete(const char* path)
{
    if (!IsFullPath(path))
        return false;
    char windows[text::kMaxText] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return false;
    std::string list(windows);
    if (!text::EndsWithSeparator(list, text::IsLeadByte))
        list.push_back('\\');
    list += "WININIT.INI";
    KernelHandle file(CreateFileA(list.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    DWORD written = 0;
    if (created && !WriteFile(file.Get(), "[RENAME]\r\n", 10, &written, nullptr))
        return false;
    // One write, so that a line is never left half written.
    const std::string line = std::string("NUL=") + path + "\r\n";
    if (SetFilePointer(file.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        return false;
    return WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}
