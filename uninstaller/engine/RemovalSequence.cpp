#include "RemovalSequence.h"

#include <exception>
#include <utility>

#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../spooler/DriverInfFiles.h"
#include "../spooler/DriverRemoval.h"
#include "../spooler/Hooks.h"
#include "../spooler/LoadRunEntries.h"
#include "../spooler/MonitorRemoval.h"
#include "../spooler/PrintProcessorRemoval.h"
#include "../spooler/PrinterRemoval.h"
#include "../spooler/ServiceRemoval.h"
#include "../spooler/SpoolerWindow.h"
#include "../spooler/StayingComponents.h"
#include "../system/IniRemoval.h"
#include "../system/OemPaths.h"
#include "../system/RegistryRemoval.h"
#include "../system/ScriptFiles.h"
#include "../system/ShortcutRemoval.h"
#include "FolderLists.h"
#include "KeptItems.h"
#include "Replan.h"

namespace {

RemovalSequence::StepObserver stepObserver;

// The progress row that is current once each step has run: rows before it
// are done. Steps 8 to 12 share the registry row, 13 to 15 the files row;
// after step 15 every row is done.
constexpr int kRowAfterStep[RemovalSequence::kLastStep + 1] = {2, 2, 3, 4, 5, 6, 7, 7, 8, 8, 8, 8, 8, 9, 9, 10, 10, 10};

// The masking tool's own step shows its row while it waits.
constexpr int kMaskingToolRow = 1;

void ForEachRemovalEnvironment(RemovalState& state, void (*operation)(RemovalState&, const char*))
{
    for (const char* environment : RemovalEnvironments())
        operation(state, environment);
}

} // namespace

void RemovalSequence::ObserveSteps(StepObserver observer) { stepObserver = std::move(observer); }

bool RemovalSequence::Begin(DWORD folderSettle)
{
    if (running_)
        return false;
    // The steps share one listing of the printers, read again after each
    // change the door makes that may touch a printer.
    state_.Changes.ForgetGone();
    state_.Printers.Forget();
    state_.Users.Release();
    FillFolderLists(state_, folderSettle);
    state_.DriverDirectory.Resolve(location::PrinterDriverDirectory);
    step_ = 0;
    progressRow_ = 0;
    waiting_ = false;
    restartOutcome_ = RestartOutcome::NotNeeded;
    stopped_.clear();
    running_ = true;
    return true;
}

RemovalSequence::Outcome RemovalSequence::RunStep()
{
    if (!running_)
        return Outcome::Finished;
    if (inStep_)
        return Outcome::Busy;
    const FlagWhile running(inStep_);
    const int step = step_;
    journal::SetStep(step);
    waiting_ = false;
    try {
        if (stepObserver)
            stepObserver(step);
        // The other users' hives are not kept loaded past the changes, into
        // the last step's questions and restart.
        if (step == kLastStep)
            state_.Users.Release();
        Run(step);
    } catch (const RemovalStopped& stop) {
        // No change may follow: the removal ends here, a failure, and the
        // other users' hives are let go.
        journal::Record(journal::op::kProgram, journal::Reason("step %d", step).c_str(), journal::Outcome::Failed,
                        stop.what());
        state_.Users.Release();
        stopped_ = stop.what();
        running_ = false;
        waiting_ = false;
        progressRow_ = kRowAfterStep[kLastStep];
        return Outcome::Finished;
    } catch (const std::exception& error) {
        // The step goes no further; what it left undone is a failure.
        journal::Record(journal::op::kProgram, journal::Reason("step %d", step).c_str(), journal::Outcome::Failed,
                        error.what());
        waiting_ = false;
    } catch (...) {
        journal::Record(journal::op::kProgram, journal::Reason("step %d", step).c_str(), journal::Outcome::Failed,
                        "an unexpected error");
        waiting_ = false;
    }
    if (waiting_)
        return Outcome::Waits;
    progressRow_ = kRowAfterStep[step];
    if (step == kLastStep) {
        running_ = false;
        return Outcome::Finished;
    }
    ++step_;
    return Outcome::Advanced;
}

RestartOutcome RemovalSequence::RunUnpaced(DWORD folderSettle, DWORD recheckMs)
{
    if (!Begin(folderSettle))
        return restartOutcome_;
    for (;;) {
        const Outcome outcome = RunStep();
        if (outcome == Outcome::Finished)
            return restartOutcome_;
        if (outcome == Outcome::Waits)
            Sleep(recheckMs);
    }
}

void RemovalSequence::Run(int step)
{
    RemovalState& s = state_;
    const std::uint32_t kind = s.Platform.versionKind();
    switch (step) {
    case 0:
        if (s.Database) {
            StartRemovalPlan(*s.Database);
            BuildDatabase(*s.Database);
            JournalKeptItems(*s.Database);
        }
        break;
    case 1:
        WaitForMaskingTool();
        break;
    case 2:
        RunHooks(s);
        break;
    case 3:
        RemovePrinters(s);
        ReplanAfterPrinters(s);
        break;
    case 4:
        ForEachRemovalEnvironment(s, RemovePrinterDrivers);
        ReplanAfterDrivers(s);
        break;
    case 5:
        ForEachRemovalEnvironment(s, RemoveMonitors);
        break;
    case 6:
        ForEachRemovalEnvironment(s, RemovePrintProcessors);
        break;
    case 7:
        RemoveServices(s);
        // Which files the drivers, monitors and processors that stay use,
        // asked once the others are gone and while the spooler still
        // answers: step 8 stops it on NT 3.x and 4.0.
        ReadStayingDriverFiles(s);
        break;
    case 8:
        if (s.Platform.isWin9x()) {
            if (kind == platform::kKindWin95)
                CloseSpoolerWindow(s.Changes);
            // The Windows 9x spooler lets go of its files only at the next start.
            if (s.Database)
                RequireRestart(*s.Database, "the Windows 9x spooler holds its files");
        } else if (s.Platform.isNT() && (kind == platform::kKindNT3 || kind == platform::kKindNT4)) {
            s.Changes.StopSpooler();
        }
        break;
    case 9:
        ReadOemPaths(s);
        break;
    case 10:
        RemoveShortcuts(s);
        break;
    case 12:
        RemoveIniEntries(s);
        break;
    case 13:
        DeleteLoadRunEntries(s);
        break;
    case 14:
        ReadStayingPrograms(s);
        PrepareDriverPaths(s);
        RemoveScriptFiles(s);
        DeleteOemInfFiles(s);
        if (kind == platform::kKindWin98 || kind == platform::kKindWinMe)
            DeleteWin9xOemInfFiles(s);
        else if (kind == platform::kKindWin2000 || kind == platform::kKindXP)
            RemoveDriverSubdirectory(s);
        break;
    case 15:
        RemoveRegistryKeys(s);
        RemoveUninstallScripts(s);
        break;
    case 16:
        if (s.Platform.isNT())
            s.Changes.StartSpooler();
        break;
    case kLastStep:
        if (s.Database)
            restartOutcome_ = OfferRestart(s.Changes, *s.Database, s.Platform, s.Texts);
        break;
    default:
        break;
    }
}

void RemovalSequence::WaitForMaskingTool()
{
    progressRow_ = kMaskingToolRow;
    if (state_.Database && !state_.Database->VeltropeSpared)
        waiting_ = maskingTool_.StillRunning(state_.Changes, state_.Platform);
    if (!waiting_)
        maskingTool_.Forget();
}
