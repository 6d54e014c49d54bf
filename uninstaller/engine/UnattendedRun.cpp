#include "UnattendedRun.h"

#include <exception>
#include <utility>

#include "../common/Journal.h"
#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "../script/UiSettings.h"
#include "../script/UninstallDatabase.h"
#include "../system/Restart.h"
#include "PrinterFilter.h"
#include "RemovalEngine.h"
#include "RunAccount.h"

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

// The chosen printers: taken away (an unattended run removes once), or
// still installed.
void CountPrinters(const UninstallDatabase& database, unsigned& removed, unsigned& kept)
{
    for (const CActivePrinter& printer : database.Printers) {
        removed += printer.Removed ? 1 : 0;
        kept += printer.Stayed ? 1 : 0;
    }
}

int Run(UninstallDatabase& database, HINSTANCE instance, const RunMode& mode, const SwitchList& switches,
        Door* acting)
{
    journal::SetStep(journal::kLoadingStep);
    journal::ResetTally();
    // Nobody is asked: Windows restarts only when the switch says so. A dry
    // run's door restarts nothing, and tells what the real run would do.
    SetRestartPolicy(mode.Restart == RestartPolicy::Always ? RestartPolicy::Always : RestartPolicy::Never);
    SetMessageAnswerer(SafeAnswer);
    BuildDefaultScriptPath();
    LoadUiSettings();

    EngineSettings settings(switches, mode.WhatIf);
    settings.Texts = instance;
    settings.Acting = acting;
    RemovalEngine engine(database, std::move(settings));
    if (engine.Load().RunUnpaced(kSettleMs) != 1)
        return exitcode::kFatal;

    // A filter that offers nothing leaves the machine as it is: the maker's
    // common items go only with printers the filter chose. Unless the
    // scripts still describe a package the filter names: a removal of it
    // was cut off once its printers had gone, and this run finishes it.
    if (!mode.Filter.empty() && CountOfferedPrinters(database) == 0 && !FilterNamesProfile(switches, database)) {
        journal::Record(journal::op::kPrinter, mode.Filter.c_str(), journal::Outcome::Message, "no printer matched");
        return exitcode::kDone;
    }
    ChooseEveryOfferedPrinter(database.Printers);
    const RestartOutcome restart = engine.Removal().RunUnpaced(kFolderSettleMs, kRecheckMs);

    unsigned removed = 0, stayed = 0;
    CountPrinters(database, removed, stayed);
    if (stayed != 0 || journal::Counted().Failed != 0)
        return exitcode::kFailed;
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

} // namespace

int RunUnattended(HINSTANCE instance, const RunMode& mode, const SwitchList& switches, Door* acting)
{
    UninstallDatabase database;
    int code = exitcode::kFatal;
    // Whatever goes wrong, the run ends with a code a deployment tool knows
    // and a last line that says why.
    try {
        code = Run(database, instance, mode, switches, acting);
    } catch (const std::exception& error) {
        journal::Record(journal::op::kProgram, "prnuninst", journal::Outcome::Failed, error.what());
    } catch (...) {
        journal::Record(journal::op::kProgram, "prnuninst", journal::Outcome::Failed, "an unexpected error");
    }
    unsigned removed = 0, stayed = 0;
    CountPrinters(database, removed, stayed);
    JournalRunEnd(code, removed, stayed);
    return code;
}
