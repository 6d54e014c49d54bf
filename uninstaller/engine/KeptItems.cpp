#include "KeptItems.h"

#include <string>

#include "../common/Journal.h"
#include "../script/KeptReasons.h"
#include "../spooler/LoadRunEntries.h"
#include "../system/IniRemoval.h"
#include "../system/RegistryRemoval.h"
#include "../system/ShortcutRemoval.h"

namespace {

struct ListOperation {
    ItemList UninstallProfile::* List;
    const char* Operation;
};

constexpr ListOperation kOperations[] = {
    {&UninstallProfile::Drivers, journal::op::kDriver},
    {&UninstallProfile::Monitors, journal::op::kMonitor},
    {&UninstallProfile::PrintProcessors, journal::op::kPrintProcessor},
    {&UninstallProfile::Services, journal::op::kService},
    {&UninstallProfile::Hooks, journal::op::kHook},
    {&UninstallProfile::Shortcuts, journal::op::kShortcut},
    {&UninstallProfile::DeleteIni, journal::op::kIniEntry},
    {&UninstallProfile::DeleteLoadRun, journal::op::kStartupEntry},
    {&UninstallProfile::Files, journal::op::kFile},
    {&UninstallProfile::Directorys, journal::op::kFolder},
    {&UninstallProfile::RegistryKeys, journal::op::kRegistryKey},
};

const char* OperationOf(ItemList UninstallProfile::* list)
{
    for (const ListOperation& known : kOperations) {
        if (known.List == list)
            return known.Operation;
    }
    return journal::op::kRegistryKey;
}

// The item as the step that removes it names it; the script's text where
// that step would refuse the entry, and names it so too.
std::string ToldItem(const KeptItem& kept, const PlatformKind& platform, const char*& operation)
{
    operation = OperationOf(kept.List);
    std::string told;
    if (kept.List == &UninstallProfile::RegistryKeys) {
        if (const std::optional<RegistryEntry> entry = ReadRegistryEntry(kept.Item)) {
            operation = entry->Operation();
            told = entry->Item;
        }
    } else if (kept.List == &UninstallProfile::DeleteIni) {
        told = IniEntryItem(kept.Item);
    } else if (kept.List == &UninstallProfile::DeleteLoadRun) {
        TextCatalogue texts;
        told = StartupEntryItem(platform, texts, kept.Item);
    } else if (kept.List == &UninstallProfile::Drivers || kept.List == &UninstallProfile::Monitors ||
               kept.List == &UninstallProfile::PrintProcessors) {
        // The plan keeps the component in each environment it is in.
        told = kept.Item + " (every environment)";
    } else if (kept.List == &UninstallProfile::Shortcuts) {
        told = ShortcutItem(kept.Item, operation);
        if (told.empty())
            operation = journal::op::kShortcut;
    }
    return told.empty() ? kept.Item : told;
}

void Journal(const KeptItem& kept, const PlatformKind& platform)
{
    const char* operation = nullptr;
    const std::string item = ToldItem(kept, platform, operation);
    journal::Kept(operation, item.c_str(), kept.Reason.c_str());
}

} // namespace

void JournalKeptItem(const KeptItem& kept, const PlatformKind& platform) { Journal(kept, platform); }

void JournalKeptItems(const UninstallDatabase& database)
{
    for (const KeptItem& kept : ExplainKeptItems(database))
        Journal(kept, database.Platform);
}
