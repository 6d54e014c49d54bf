#include "UnattendedRun.h"

#include <utility>

#include "../common/Journal.h"
#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "../script/UiSettings.h"
#include "../script/UninstallDatabase.h"
#include "../system/Restart.h"
#include "PrinterFilter.h"
#include "RemovalEngine.h"

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

// The waits of the steps: the spooler's settling tick of the loading, the
// pause between a folder location's two answers, and how often the masking
// tool is looked at again.
constexpr DWORD kSettleMs = 300;
constexpr DWORD kFolderSettleMs = 100;
constexpr DWORD kRecheckMs = 200;

} // namespace

int RunUnattended(HINSTANCE instance, const RunMode& mode, const SwitchList& switches, Door* acting)
{
    journal::SetStep(-1);
    // Nobody is asked: Windows restarts only when the switch says so. A dry
    // run's door restarts nothing, and tells what the real run would do.
    SetRestartPolicy(mode.Restart == RestartPolicy::Always ? RestartPolicy::Always : RestartPolicy::Never);
    SetMessageAnswerer(SafeAnswer);
    BuildDefaultScriptPath();
    LoadUiSettings();

    UninstallDatabase database;
    EngineSettings settings(switches, mode.WhatIf);
    settings.Texts = instance;
    settings.Acting = acting;
    RemovalEngine engine(database, std::move(settings));
    if (engine.Load().RunUnpaced(kSettleMs) != 1)
        return exitcode::kFatal;

    ChooseEveryOfferedPrinter(database.Printers);
    const RestartOutcome restart = engine.Removal().RunUnpaced(kFolderSettleMs, kRecheckMs);
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
