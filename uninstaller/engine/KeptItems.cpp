#include "KeptItems.h"

#include "../common/Journal.h"
#include "../script/KeptReasons.h"

namespace {

const char* OperationOf(ItemList UninstallProfile::* list)
{
    using namespace journal::op;
    if (list == &UninstallProfile::Drivers)
        return kDriver;
    if (list == &UninstallProfile::Monitors)
        return kMonitor;
    if (list == &UninstallProfile::PrintProcessors)
        return kPrintProcessor;
    if (list == &UninstallProfile::Services)
        return kService;
    if (list == &UninstallProfile::Hooks)
        return kHook;
    if (list == &UninstallProfile::Shortcuts)
        return kShortcut;
    if (list == &UninstallProfile::DeleteIni)
        return kIniEntry;
    if (list == &UninstallProfile::DeleteLoadRun)
        return kStartupEntry;
    if (list == &UninstallProfile::Files)
        return kFile;
    if (list == &UninstallProfile::Directorys)
        return kFolder;
    return kRegistryKey;
}

} // namespace

void JournalKeptItems(const UninstallDatabase& database)
{
    for (const KeptItem& kept : ExplainKeptItems(database))
        journal::Kept(OperationOf(kept.List), kept.Item.c_str(), kept.Reason.c_str());
}
