#include "Loading.h"

#include <utility>

#include "../common/Handles.h"
#include "../door/Door.h"
#include "../res/resource.h"
#include "../script/MessageBox.h"
#include "../script/ScriptSearch.h"
#include "../spooler/CompanionWindows.h"
#include "AdminCheck.h"

Loading::Loading(UninstallDatabase& database, const SwitchList& switches, Door& door, const PlatformKind& platform,
                 TextCatalogue& texts)
    : database_(database), switches_(switches), door_(door), platform_(platform), texts_(texts),
      inventory_(switches, platform)
{
}

Loading::~Loading() { RestartStoppedSpooler(); }

Loading::Outcome Loading::RunStep()
{
    if (Ended())
        return Outcome::Ended;
    if (running_)
        return Outcome::Busy;
    const FlagWhile running(running_);
    UINT failure = 0;
    Outcome outcome = Outcome::Advanced;
    try {
        outcome = Run(failure);
    } catch (const RemovalStopped& stop) {
        // The door may make no change (its backup can't be written): the
        // loading ends here, as a failure, and says so.
        ShowMessage(nullptr, stop.what(), texts_.GetText(IDS_TITLE), MB_OK | MB_ICONSTOP);
        End(0);
        return Outcome::Ended;
    }
    if (failure != 0) {
        ShowMessage(nullptr, texts_.GetText(failure), texts_.GetText(IDS_TITLE), MB_OK | MB_ICONSTOP);
        End(0);
    }
    if (Ended())
        return Outcome::Ended;
    if (outcome == Outcome::Advanced && ++step_ > kLastStep)
        End(1);
    return Ended() ? Outcome::Ended : outcome;
}

int Loading::RunUnpaced(DWORD settleMs)
{
    for (;;) {
        const Outcome outcome = RunStep();
        if (outcome == Outcome::Ended)
            return result_;
        if (outcome == Outcome::Stayed)
            Sleep(settleMs);
    }
}

Loading::Outcome Loading::Run(UINT& failure)
{
    const bool nt = platform_.isNT();
    switch (step_) {
    case kAdministrator:
        if (!IsAdministrator(platform_))
            failure = IDS_NOT_ADMIN;
        break;
    case kCompanions:
    case kCompanionsAgain:
        CloseCompanionWindows(door_, std::exchange(companionsAsked_, true));
        break;
    case kStopSpooler:
        if (nt) {
            spoolerStopped_ = true;
            door_.StopSpooler();
        }
        break;
    case kSettle:
        if (!std::exchange(settled_, true))
            return Outcome::Stayed;
        break;
    case kStartSpooler:
        if (nt) {
            if (door_.StartSpooler())
                spoolerStopped_ = false;
            else
                failure = IDS_SPOOLER_UNSTABLE;
        }
        break;
    case kFindScripts:
        FindScripts();
        break;
    case kReadScripts:
        for (const std::string& script : scripts_)
            ReadScript(database_, script.c_str());
        break;
    case kBaseWorkList:
        FillBaseWorkList(database_, database_.BaseWorkList);
        AdjustForVeltrope(database_, switches_.FindSwitch("UNVELT") >= 0);
        break;
    case kInventory:
        BuildInventory(failure);
        break;
    default:
        break;
    }
    return Outcome::Advanced;
}

void Loading::FindScripts()
{
    FindUninstallScripts(scripts_);
    if (scripts_.empty() && !std::exchange(missingScriptsTold_, true))
        ShowMessage(nullptr, texts_.GetText(IDS_NO_SCRIPT), texts_.GetText(IDS_TITLE), MB_OK | MB_ICONSTOP);
}

void Loading::BuildInventory(UINT& failure)
{
    std::list<CActivePrinter>& printers = database_.Printers;
    const std::size_t before = printers.size();
    if (inventory_.BuildListOfInstalledPrinters(printers) != 0)
        return;
    if (inventory_.SpoolerSilent()) {
        failure = IDS_SPOOLER_NO_ANSWER;
        return;
    }
    // What a failed attempt appended goes: the round that runs again lists
    // those printers anew, and no removal may follow a partial list.
    while (printers.size() > before)
        printers.pop_back();
    if (inventoryFailures_++ == 0)
        step_ = kAdministrator;
    else if (inventory_.LastBuildFailed())
        failure = IDS_SPOOLER_NO_ANSWER;
}

void Loading::Cancel() { End(0); }

void Loading::End(int result)
{
    if (Ended())
        return;
    result_ = result;
    RestartStoppedSpooler();
}

void Loading::RestartStoppedSpooler()
{
    if (std::exchange(spoolerStopped_, false))
        door_.StartSpooler();
}
