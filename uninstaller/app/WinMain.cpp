// Program entry: the switches, one instance only, then the main window as a
// modal dialog, or the unattended run without one.
#include <windows.h>
#include <commctrl.h>

#include "../common/AnsiLeadByte.h"
#include "../script/MessageBox.h"
#include "../common/Journal.h"
#include "../system/LogOutput.h"
#include "../system/Restart.h"
#include "MainDlg.h"
#include "Messages.h"
#include "../engine/RunMode.h"
#include "SingleInstance.h"
#include "VisibleDesktop.h"
#include "../engine/RunAccount.h"
#include "../engine/UnattendedRun.h"
#include "../backup/Restore.h"
#include "../engine/AdminCheck.h"

namespace {

int ShowUsage(ConsoleOutput& console, bool toConsole)
{
    if (toConsole || console.Attach())
        console.WriteLine(kUsageText);
    else
        ShowMessage(nullptr, kUsageText, "prnuninst", MB_OK | MB_ICONINFORMATION);
    return exitcode::kDone;
}

// The last line of an unattended run that ends before its removal.
int Ended(int code)
{
    JournalRunEnd(code, 0, 0);
    return code;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        UseAnsiCodePage();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);

        // The one parse of the command line; whoever needs it is handed it.
        const SwitchList switches(GetCommandLineA());
        const RunMode mode = ReadRunMode(switches);
        LogFile log;
        const bool logOpened = !mode.LogPath.empty() && log.Open(mode.LogPath.c_str());
        ConsoleOutput console;
        const bool toConsole = mode.WhatIf && console.Attach();
        journal::SetSink([&](const journal::Entry& entry) {
            log.Write(entry);
            if (toConsole) {
                SYSTEMTIME now{};
                GetLocalTime(&now);
                console.WriteLine(ComposeLogLine(entry, now));
            }
        });
        // A restore has no window either: it answers as an unattended run.
        const bool unattended = mode.Unattended() || !mode.RestoreFolder.empty();
        if (!mode.LogPath.empty() || unattended)
            JournalRunStart(mode.LogPath);
        // A deployment tool reads nothing but the exit code and the log: a
        // log that can't be written refuses the run before anything changes.
        if (unattended && !mode.LogPath.empty() && (!logOpened || log.WriteFailed()))
            return exitcode::kLogNotWritable;

        if (unattended && !mode.BadSwitch.empty()) {
            journal::Record("switch", mode.BadSwitch.c_str(), journal::Outcome::Failed, "", exitcode::kBadSwitch);
            JournalUsage(kUsageText);
            return Ended(exitcode::kBadSwitch);
        }
        if (mode.Usage && mode.Unattended()) {
            // Nobody may be at the screen: the usage goes to the log and
            // the console, never into a message box.
            if (!toConsole && console.Attach())
                console.WriteLine(kUsageText);
            JournalUsage(kUsageText);
            return Ended(exitcode::kDone);
        }
        if (mode.Usage)
            return ShowUsage(console, toConsole);
        if (!mode.RestoreFolder.empty()) {
            if (AnotherInstanceRuns()) {
                journal::Record("program", "prnuninst", journal::Outcome::Failed, "", exitcode::kAlreadyRunning);
                return Ended(exitcode::kAlreadyRunning);
            }
            if (!IsAdministrator(PlatformKind())) {
                journal::Record("program", "prnuninst", journal::Outcome::Failed,
                                "a restore needs administrator rights");
                return Ended(exitcode::kFatal);
            }
            // Its last line says what was put back, with the exit code.
            return RestoreBackup(mode.RestoreFolder, mode.Force);
        }
        if (mode.Unattended()) {
            if (AnotherInstanceRuns()) {
                journal::Record("program", "prnuninst", journal::Outcome::Failed, "", exitcode::kAlreadyRunning);
                return Ended(exitcode::kAlreadyRunning);
            }
            return RunUnattended(instance, mode, switches);
        }

        // With no one to answer the window, it would wait for ever.
        if (!DesktopIsVisible()) {
            journal::Record("program", "prnuninst", journal::Outcome::Failed,
                            "no one can see its window here: run it with /QUIET or /WHATIF");
            return Ended(exitcode::kFatal);
        }
        LeaveIfAlreadyRunning();
        // An unattended run holds the mark and has no window to bring forward.
        if (!ClaimInstance())
            return 0;
        SetRestartPolicy(mode.Restart);
        RegisterMainWindowClass(instance);

        MainDlg main(switches);
        return static_cast<int>(
            DialogBoxParamA(instance, "IDD_MAIN_NOBMP", nullptr, CDlg::StaticDlgProc, reinterpret_cast<LPARAM>(&main)));
    } catch (int result) {
        return result;
    }
}
