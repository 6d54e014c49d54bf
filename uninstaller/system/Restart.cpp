#include "Restart.h"

#include "../common/Journal.h"
#include "../common/Text.h"
#include "../door/Door.h"
#include "../res/resource.h"
#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "StartupEntry.h"

namespace {

RestartPolicy policy = RestartPolicy::Ask;

// Whatever the answer, the restart program goes at the next start and the
// deleter runs then; with a yes the restart program restarts Windows now.
// `asked` tells whether Windows was asked at all.
bool RestartThroughProgram(Door& door, bool restartNow, const PlatformKind& platform, bool& asked)
{
    // Without the program's own directory nothing can be listed or started.
    char program[text::kMaxText];
    if (!PathBesideProgram(program, "ZRESTART.EXE"))
        return false;
    door.ScheduleWithDeleter(journal::op::kFile, program);
    AddStartupEntry(door, nullptr, "ZWININIT", platform);
    if (!restartNow)
        return false;
    // Quoted: unquoted, a directory with a space in its name would start
    // whatever program the part before the space names.
    char command[text::kMaxText + 8] = "\"";
    if (!text::AppendWhole(command, program) || !text::AppendWhole(command, "\" -d"))
        return false;
    asked = true;
    return door.RequestRestart(RestartVariant::RestartProgram, command);
}

} // namespace

void SetRestartPolicy(RestartPolicy value) { policy = value; }

RestartOutcome OfferRestart(Door& door, UninstallDatabase& database, const PlatformKind& platform,
                            TextCatalogue& texts)
{
    char title[text::kMaxText];
    text::CopyWhole(title, texts.GetText(IDS_TITLE));
    if (database.RestartRequired == 0) {
        ShowMessage(nullptr, texts.GetText(IDS_DONE), title, MB_OK | MB_SETFOREGROUND);
        return RestartOutcome::NotNeeded;
    }
    bool yes = policy == RestartPolicy::Always;
    if (policy == RestartPolicy::Ask)
        yes = ShowMessage(nullptr, texts.GetText(IDS_ASK_RESTART), title,
                          MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
    bool restarted = false;
    bool asked = false;
    switch (platform.versionKind()) {
    case platform::kKindWin32s:
        restarted = RestartThroughProgram(door, yes, platform, asked);
        break;
    case platform::kKindWin95:
    case platform::kKindWin98:
    case platform::kKindWinMe:
        asked = yes;
        restarted = yes && door.RequestRestart(RestartVariant::Reboot, nullptr);
        break;
    default:
        asked = yes;
        restarted = yes && door.RequestRestart(RestartVariant::PrivilegedReboot, nullptr);
        break;
    }
    if (!yes)
        journal::Changed(journal::op::kRestart, "Windows",
                         database.RestartReason.empty()
                             ? "needed, not started"
                             : journal::Reason("needed (%s), not started", database.RestartReason.c_str()).c_str());
    else if (!asked)
        journal::Failed(journal::op::kRestart, "Windows", GetLastError());
    if (yes && !restarted)
        ShowMessage(nullptr, texts.GetText(IDS_RESTART_FAILED), title, MB_OK | MB_SETFOREGROUND);
    if (!yes)
        return RestartOutcome::Declined;
    return restarted ? RestartOutcome::Started : RestartOutcome::Failed;
}
