#include "MaskingTool.h"

#include "../common/Journal.h"
#include "../door/Door.h"

namespace {

constexpr char kOemPathsKey[] = "SOFTWARE\\QUORVEL\\OEM\\OEMPaths";
constexpr char kToolPrograms[][16] = {"VELTRO32.EXE", "VELTROPE.EXE"};
constexpr char kArguments[] = " /d";

bool Readable(const char* path)
{
    KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr));
    return static_cast<bool>(file);
}

} // namespace

bool LocateMaskingTool(const char* program, char (&path)[text::kMaxText])
{
    path[0] = '\0';
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOemPathsKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegistryKey key(opened);
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD nameSize = sizeof name;
        char folder[text::kMaxText] = {};
        DWORD folderSize = sizeof folder - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(folder), &folderSize);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            return false;
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || folder[0] == '\0')
            continue;
        char candidate[text::kMaxText] = {};
        bool ok = text::CopyWhole(candidate, folder);
        if (ok && !text::EndsWithSeparator(candidate, text::IsLeadByte))
            ok = text::AppendWhole(candidate, "\\");
        if (ok && text::AppendWhole(candidate, program) && Readable(candidate)) {
            text::CopyWhole(path, candidate);
            return true;
        }
    }
}

namespace {

DWORD waitLimitMs = MaskingToolRun::kWaitLimitMs;

} // namespace

void MaskingToolRun::LimitWait(DWORD ms) { waitLimitMs = ms ? ms : kWaitLimitMs; }

bool MaskingToolRun::Start(Door& door, const PlatformKind& platform)
{
    for (const char* program : kToolPrograms) {
        if (!LocateMaskingTool(program, path_))
            continue;
        const StartedProgram started = door.StartProgram(journal::op::kProgram, path_, kArguments);
        if (started.Started) {
            process_.Attach(started.Process);
            startTick_ = started.StartTick;
            return true;
        }
        // Win32s starts the tool without a process handle to wait on: its
        // window tells when it has ended.
        if (platform.isWin32s() && started.Refused) {
            placeholder_ = true;
            startTick_ = GetTickCount64();
            return true;
        }
        return false;
    }
    return false;
}

bool MaskingToolRun::StillRunning(Door& door, const PlatformKind& platform)
{
    if (!process_ && !placeholder_) {
        const bool started = Start(door, platform);
        if (!started)
            Forget();
        return started;
    }
    bool running = false;
    if (platform.isWin32s()) {
        running = FindWindowA("#32770", "Veltrope") != nullptr;
    } else if (process_) {
        DWORD code = 0;
        running = GetExitCodeProcess(process_.Get(), &code) && code == STILL_ACTIVE;
    }
    if (!running) {
        TellEnd();
        Forget();
        return false;
    }
    const ULONGLONG elapsed = GetTickCount64() - startTick_;
    if (elapsed >= waitLimitMs) {
        journal::Changed(journal::op::kProgram, path_,
                         journal::Reason("still running after %llu ms; the removal goes on without waiting",
                                         static_cast<unsigned long long>(elapsed))
                             .c_str());
        Forget();
        return false;
    }
    return true;
}

void MaskingToolRun::TellEnd()
{
    if (!process_)
        return;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.Get(), &code)) {
        journal::Failed(journal::op::kProgram, path_, GetLastError());
        return;
    }
    const ULONGLONG elapsed = GetTickCount64() - startTick_;
    journal::Changed(journal::op::kProgram, path_,
                     journal::Reason("ended with exit code %lu after %llu ms", static_cast<unsigned long>(code),
                                     static_cast<unsigned long long>(elapsed))
                         .c_str());
}

void MaskingToolRun::Forget()
{
    process_.Close();
    placeholder_ = false;
}
