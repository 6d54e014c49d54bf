#include "UnattendedRun.h"

#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "../script/UiSettings.h"
#include "../script/UninstallDatabase.h"
#include "../common/Journal.h"
#include "../system/Restart.h"
#include "LoadingDlg.h"
#include "RemovePage.h"

namespace {

// The cancel question can't arise without a window; the restart question
// is settled by the restart policy before it is asked. Any other question
// gets No, the answer that changes nothing more.
int SafeAnswer(const char*, const char*, UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OK:
        return IDOK;
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDNO;
    }
}

} // namespace

int RunUnattended(HINSTANCE instance, const RunMode& mode)
{
    journal::SetDryRun(mode.WhatIf);
    journal::SetStep(-1);
    // A dry run restarts nothing; a quiet run only when told to.
    SetRestartPolicy(mode.WhatIf || mode.Restart != RestartPolicy::Always ? RestartPolicy::Never
                                                                          : RestartPolicy::Always);
    SetMessageAnswerer(SafeAnswer);
    BuildDefaultScriptPath();
    LoadUiSettings();

    UninstallDatabase database;
    CLoadingDlg loading;
    loading.SetDatabase(&database);
    if (loading.RunUnpaced(instance) != 1)
        return exitcode::kFatal;

    for (CActivePrinter& printer : database.Printers) {
        if (printer.IsOffered())
            printer.Skip = 0;
    }
    CRemoveDlg removal;
    removal.SetDatabase(&database);
    const RestartOutcome restart = removal.RunUnpaced(instance);
    if (mode.WhatIf)
        return exitcode::kDone;
    switch (restart) {
    case RestartOutcome::NotNeeded:
        return exitcode::kDone;
    case RestartOutcome::Started:
        return exitcode::kRestarting;
    default:
        return exitcode::kRestartNeeded;
    }
}
