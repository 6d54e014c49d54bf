#pragma once
// The removal engine: the loading's work and the removal's steps over one
// working-state record, and the door they change the machine through. The
// loading dialog, the removal page and the unattended run all drive it; it
// has no window of its own. Whether the run is real or dry is chosen here,
// once, when the door is, and whether a backup stands in front of it.

#include <memory>
#include <utility>

#include "../common/PlatformKind.h"
#include "../backup/BackupDoor.h"
#include "../common/SwitchList.h"
#include "../door/DryRunDoor.h"
#include "../door/RealDoor.h"
#include "../door/RemovalState.h"
#include "../script/UninstallDatabase.h"
#include "Loading.h"
#include "RemovalSequence.h"

struct EngineSettings {
    EngineSettings() = default;
    explicit EngineSettings(SwitchList switches, bool dryRun = false)
        : Switches(std::move(switches)), DryRun(dryRun)
    {
    }

    // The program's command line, parsed once.
    SwitchList Switches;
    // Change nothing: list what the removal would do.
    bool DryRun = false;
    // The platform the steps are chosen by; the running system's by default.
    PlatformKind Platform;
    // The module whose string table holds the texts; the program's own by
    // default.
    HINSTANCE Texts = nullptr;
    // Tests only: the door that acts in a real run instead of the platform's.
    // A dry run never reaches it.
    Door* Acting = nullptr;
};

class RemovalEngine {
public:
    RemovalEngine(UninstallDatabase& database, EngineSettings settings);
    // The backup's last word goes to the journal.
    ~RemovalEngine();
    RemovalEngine(const RemovalEngine&) = delete;
    RemovalEngine& operator=(const RemovalEngine&) = delete;

    UninstallDatabase& Database() { return database_; }
    const SwitchList& Switches() const { return settings_.Switches; }
    Door& Changes() { return door_; }
    RemovalState& State() { return state_; }
    Loading& Load() { return loading_; }
    RemovalSequence& Removal() { return removal_; }

    // The window the add-on hooks get as their owner; none by default.
    void SetOwner(HWND owner) { state_.Owner = owner; }

private:
    UninstallDatabase& database_;
    EngineSettings settings_;
    RealDoor real_;
    DryRunDoor dry_;
    // In front of the chosen door when the switches ask for a backup.
    std::unique_ptr<BackupDoor> backup_;
    Door& door_;
    RemovalState state_;
    Loading loading_;
    RemovalSequence removal_;
};
