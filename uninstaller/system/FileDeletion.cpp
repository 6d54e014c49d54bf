#include "FileDeletion.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../common/Journal.h"
#include "ZwininitDelete.h"

namespace {

// Errors that mean there is nothing to delete: invalid function, file not
// found, path not found.
constexpr DWORD kFirstRealError = 4;

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

bool Missing(DWORD error)
{
    return error < kFirstRealError;
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

FileFate DeleteOrScheduleFileAs(const char* operation, const PlatformKind& platform, const char* path)
{
    if (!IsFullPath(path) || std::strlen(path) >= text::kMaxText) {
        journal::Kept(operation, path, "refused as unsafe");
        return FileFate::Refused;
    }
    if (journal::Gone(operation, path))
        return FileFate::NotThere;
    if (journal::DryRun()) {
        if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && Missing(GetLastError()))
            return FileFate::NotThere;
        journal::WouldRemove(operation, path);
        return FileFate::WouldDelete;
    }
    if (DeleteFileA(path)) {
        journal::Removed(operation, path);
        return FileFate::Deleted;
    }
    const DWORD error = GetLastError();
    if (Missing(error))
        return FileFate::NotThere;
    if (!ScheduleAtRestart(platform, path)) {
        journal::Failed(operation, path, error);
        return FileFate::Failed;
    }
    journal::Scheduled(operation, path);
    return FileFate::Scheduled;
}

int DeleteOrScheduleFile(const PlatformKind& platform, const char* path)
{
    const FileFate fate = DeleteOrScheduleFileAs(journal::op::kFile, platform, path);
    return fate == FileFate::Scheduled || fate == FileFate::Failed ? 0 : 1;
}

bool AppendWininitDelete(const char* path)
{
    if (!IsFullPath(path) || journal::DryRun())
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
