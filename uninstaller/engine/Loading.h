#pragma once
// The loading's work, without a window: the administrator check, the
// companion programs asked to close, the spooler stopped and started again,
// the uninstall scripts found and read, the base work list, and the
// inventory of installed printers. One small step at a time, so that a
// window can show progress between them; a fatal condition shows its
// message and ends the loading with 0.

#include "../common/PlatformKind.h"
#include "../common/SwitchList.h"
#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "Inventory.h"

class Door;

class Loading {
public:
    // The steps, in their order.
    static constexpr int kAdministrator = 0, kCompanions = 1, kStopSpooler = 2, kSettle = 3, kStartSpooler = 4,
                         kFindScripts = 5, kReadScripts = 6, kBaseWorkList = 7, kInventory = 8,
                         kCompanionsAgain = 9, kLastStep = 10;

    Loading(UninstallDatabase& database, const SwitchList& switches, Door& door, const PlatformKind& platform,
            TextCatalogue& texts);
    // Starts the spooler again if the loading stopped it and went no further.
    ~Loading();
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;

    enum class Outcome {
        Advanced, // the next step is due
        Stayed,   // the step waits a tick: the same step is due again
        Busy,     // a step is running already (its message box lets ticks through)
        Ended,    // Result() tells how
    };
    // Runs the step that is due.
    Outcome RunStep();
    // Every step without the pacing of a window, waiting `settleMs` where a
    // step waits. Returns what Result() then tells.
    int RunUnpaced(DWORD settleMs);
    // Ends the loading with 0, as when the user cancels.
    void Cancel();
    // Starts the spooler again if the loading stopped it; the loading goes on.
    void RestartStoppedSpooler();

    int Step() const { return step_; }
    // 1 when every step ran, 0 when cancelled or stopped by a fatal
    // condition, -1 while it runs.
    int Result() const { return result_; }
    bool Ended() const { return result_ >= 0; }
    // A step is running (a message box of it lets ticks through).
    bool InStep() const { return running_; }
    const ItemList& Scripts() const { return scripts_; }
    const InventoryBuild& Inventory() const { return inventory_; }

private:
    Outcome Run(UINT& failure);
    void FindScripts();
    void BuildInventory(UINT& failure);
    void End(int result);

    UninstallDatabase& database_;
    const SwitchList& switches_;
    Door& door_;
    PlatformKind platform_;
    TextCatalogue& texts_;
    InventoryBuild inventory_;
    ItemList scripts_;
    int step_ = 0;
    int result_ = -1;
    bool running_ = false;
    // Set once the spooler was stopped, until it runs again: every way out
    // of the loading starts it, or printing stays down for the machine.
    bool spoolerStopped_ = false;
    // The spooler gets one tick to settle; a failed inventory sends the
    // round once more; the missing scripts are told once.
    bool settled_ = false;
    int inventoryFailures_ = 0;
    bool missingScriptsTold_ = false;
    // The companion programs were asked to close once already.
    bool companionsAsked_ = false;
};
