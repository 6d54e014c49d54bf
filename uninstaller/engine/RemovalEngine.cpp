#include "RemovalEngine.h"

#include <utility>

RemovalEngine::RemovalEngine(UninstallDatabase& database, EngineSettings settings)
    : database_(database), settings_(std::move(settings)),
      door_(settings_.DryRun ? static_cast<Door&>(dry_) : settings_.Acting ? *settings_.Acting : real_),
      state_(door_), loading_(database, settings_.Switches, door_, settings_.Platform, state_.Texts),
      removal_(state_)
{
    state_.Database = &database;
    state_.Platform = settings_.Platform;
    state_.Texts.SetModule(settings_.Texts);
    database.Platform = settings_.Platform;
}
