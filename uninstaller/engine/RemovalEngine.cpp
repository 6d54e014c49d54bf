#include "RemovalEngine.h"

#include <utility>

#include "RunMode.h"

namespace {

Door& Chosen(const EngineSettings& settings, RealDoor& real, DryRunDoor& dry)
{
    return settings.DryRun ? static_cast<Door&>(dry) : settings.Acting ? *settings.Acting : real;
}

std::unique_ptr<BackupDoor> BackupFor(const EngineSettings& settings, Door& chosen)
{
    const std::string folder = ReadRunMode(settings.Switches).BackupFolder;
    if (folder.empty())
        return nullptr;
    return std::make_unique<BackupDoor>(chosen, folder, settings.DryRun, settings.Platform);
}

} // namespace

RemovalEngine::RemovalEngine(UninstallDatabase& database, EngineSettings settings)
    : database_(database), settings_(std::move(settings)),
      backup_(BackupFor(settings_, Chosen(settings_, real_, dry_))),
      door_(backup_ ? static_cast<Door&>(*backup_) : Chosen(settings_, real_, dry_)),
      state_(door_), loading_(database, settings_.Switches, door_, settings_.Platform, state_.Texts),
      removal_(state_)
{
    state_.Database = &database;
    state_.Platform = settings_.Platform;
    state_.Texts.SetModule(settings_.Texts);
    database.Platform = settings_.Platform;
}

RemovalEngine::~RemovalEngine()
{
    if (backup_)
        backup_->Finish();
}
