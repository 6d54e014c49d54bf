#include "KeptItems.h"

#include <algorithm>
#include <string>
#include <vector>

#include "../common/Journal.h"

namespace {

struct Category {
    ItemList UninstallProfile::* List;
    const char* Operation;
};

// UnSelfRegister is read by nobody, and the OEM folders come from the
// registry, not from the scripts.
constexpr Category kCategories[] = {
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

struct StayingPrinter {
    const CActivePrinter* Printer;
    UninstallProfile Profile;
    bool HasProfile;
};

bool Sorted(const ItemList& list, const std::string& item)
{
    return std::binary_search(list.begin(), list.end(), item, ItemLess);
}

bool Holds(const ItemList& list, const std::string& item)
{
    return std::any_of(list.begin(), list.end(), [&](const std::string& i) { return text::FoldEqual(i, item); });
}

std::string ReasonFor(const Category& category, const std::string& item, const std::vector<StayingPrinter>& staying,
                      const UninstallDatabase& database)
{
    for (const StayingPrinter& p : staying) {
        if (p.HasProfile && Holds(p.Profile.*category.List, item))
            return journal::Reason("needed by printer \"%s\"", p.Printer->PrinterName);
        if (category.List == &UninstallProfile::Files && Holds(p.Printer->DriverFiles, item))
            return journal::Reason("a file of the driver of printer \"%s\"", p.Printer->PrinterName);
        if (category.List == &UninstallProfile::PrintProcessors && text::FoldEqual(p.Printer->PrintProcessor, item))
            return journal::Reason("the print processor of printer \"%s\"", p.Printer->PrinterName);
        if (category.List == &UninstallProfile::Drivers && text::FoldEqual(p.Printer->DriverName, item))
            return journal::Reason("the driver of printer \"%s\"", p.Printer->PrinterName);
    }
    for (const UninstallProfile& profile : database.Profiles) {
        if ((profile.IsCatchAll || profile.IsIgnore) && Holds(profile.*category.List, item))
            return journal::Reason("named by profile \"%s\", which always stays", profile.Name);
    }
    return "names the same thing as an item that stays";
}

} // namespace

void JournalKeptItems(const UninstallDatabase& database)
{
    std::vector<StayingPrinter> staying;
    for (const CActivePrinter& printer : database.Printers) {
        if (printer.ToRemove || printer.Removed)
            continue;
        StayingPrinter entry{&printer, {}, false};
        entry.HasProfile = FindProfile(database, entry.Profile, printer.DriverName) ||
                           FindManufacturerProfile(database, entry.Profile, printer.DriverName);
        staying.push_back(std::move(entry));
    }
    for (const Category& category : kCategories) {
        const ItemList& merged = database.Merged.*category.List;
        for (const std::string& item : database.BaseWorkList.*category.List) {
            if (!Sorted(merged, item))
                journal::Kept(category.Operation, item.c_str(), ReasonFor(category, item, staying, database).c_str());
        }
    }
}
