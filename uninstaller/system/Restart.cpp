#include "Restart.h"

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../res/resource.h"
#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "StartupEntry.h"
#include "../common/Journal.h"
#include "ZwininitDelete.h"

namespace {

RestartPolicy policy = RestartPolicy::Ask;

RestartRequester& Requester()
{
    static RestartRequester requester;
    return requester;
}

bool RequestRestart(RestartVariant variant, const char* command)
{
    if (Requester())
        return Requester()(variant, command);
    if (variant == RestartVariant::RestartProgram)
        return WinExec(command, SW_HIDE) >= 32;
    return ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
}

bool EnableShutdownPrivilege()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened))
        return false;
    KernelHandle token(opened);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        return false;
    // Success with ERROR_NOT_ALL_ASSIGNED means the token lacks the privilege.
    SetLastError(ERROR_SUCCESS);
    const BOOL adjusted = AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    return adjusted && GetLastError() == ERROR_SUCCESS;
}

// Whatever the answer, the restart program goes at the next start and the
// deleter runs then; with a yes the restart program restarts Windows now.
bool RestartThroughProgram(bool restartNow, const PlatformKind& platform)
{
    // Without the program's own directory nothing can be listed or started.
    char program[text::kMaxText];
    if (!PathBesideProgram(program, "ZRESTART.EXE"))
        return false;
    AddZwininitDelete(program);
    AddStartupEntry(nullptr, "ZWININIT", platform);
    if (!restartNow)
        return false;
    // Quoted: unquoted, a directory with a space in its name would start
    // whatever program the part before the space names.
    char command[text::kMaxText + 8] = "\"";
    if (!text::AppendWhole(command, program) || !text::AppendWhole(command, "\" -d"))
        return false;
    return RequestRestart(RestartVariant::RestartProgram, command);
}

} // namespace

void SetRestartPolicy(RestartPolicy value) { policy = value; }

void SetRestartRequester(RestartRequester requester) { Requester() = std::move(requester); }

bool RebootWithShutdownPrivilege()
{
    return EnableShutdownPrivilege() && RequestRestart(RestartVariant::PrivilegedReboot, nullptr);
}

RestartOutcome OfferRestart(HWND page, UninstallDatabase& database, const PlatformKind& platform,
                            TextCatalogue& texts)
{
    char title[text::kMaxText];
    text::CopyWhole(title, texts.GetText(IDS_TITLE));
    if (database.RestartRequired == 0) {
        ShowMessage(page, texts.GetText(IDS_DONE), title, MB_OK | MB_SETFOREGROUND);
        return RestartOutcome::NotNeeded;
    }
    bool yes = policy == RestartPolicy::Always;
    if (policy == RestartPolicy::Ask)
        yes = ShowMessage(page, texts.GetText(IDS_ASK_RESTART), title, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) ==
              IDYES;
    bool restarted = false;
    switch (platform.versionKind()) {
    case platform::kKindWin32s:
        restarted = RestartThroughProgram(yes, platform);
        break;
    case platform::kKindWin95:
    case platform::kKindWin98:
    case platform::kKindWinMe:
        restarted = yes && RequestRestart(RestartVariant::Reboot, nullptr);
        break;
    default:
        restarted = yes && RebootWithShutdownPrivilege();
        break;
    }
    if (!yes)
        journal::Changed(journal::op::kRestart, "Windows", "needed, not started");
    else if (restarted)
        journal::Changed(journal::op::kRestart, "Windows", "started");
    else
        journal::Failed(journal::op::kRestart, "Windows", GetLastError());
    if (yes && !restarted)
        ShowMessage(page, texts.GetText(IDS_RESTART_FAILED), title, MB_OK | MB_SETFOREGROUND);
    if (HWND main = GetParent(page))
        PostMessageA(main, WM_CLOSE, 0, 0);
    if (!yes)
        return RestartOutcome::Declined;
    return restarted ? RestartOutcome::Started : RestartOutcome::Failed;
}
