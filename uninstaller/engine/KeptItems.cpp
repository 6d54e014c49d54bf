#include "KeptItems.h"

#include "../common/Journal.h"
#include "../script/KeptReasons.h"

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

} // namespace

void JournalKeptItem(const KeptItem& kept)
{
    journal::Kept(OperationOf(kept.List), kept.Item.c_str(), kept.Reason.c_str());
}

void JournalKeptItems(const UninstallDatabase& database)
{
    for (const KeptItem& kept : ExplainKeptItems(database))
        JournalKeptItem(kept);
}
