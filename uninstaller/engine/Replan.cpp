#include "Replan.h"

#include <algorithm>
#include <initializer_list>
#include <string>

#include "../common/Journal.h"
#include "../script/ItemNames.h"
#include "../door/PrinterListing.h"
#include "../spooler/DriverRemoval.h"
#include "KeptItems.h"

namespace {

bool InPlan(const ItemList& sorted, const std::string& item)
{
    return std::binary_search(sorted.begin(), sorted.end(), item, ItemLess);
}

using ListOfItems = ItemList UninstallProfile::*;

// Builds the plan again, and tells each item the earlier plan took away
// that the new one keeps. The database build explains what a script names;
// the maker's common items, which go only with the maker's last printer,
// are kept for the printer of the maker that stays. The lists of the steps that have run (`done`) are
// past keeping: what they took is gone, what they could not take they told.
void Rebuild(UninstallDatabase& db, std::initializer_list<ListOfItems> done)
{
    const auto isDone = [&](ListOfItems list) { return std::find(done.begin(), done.end(), list) != done.end(); };
    const UninstallProfile before = db.Merged;
    BuildDatabase(db);
    UninstallProfile told;
    for (KeptItem& kept : ExplainKeptItems(db)) {
        if (isDone(kept.List) || !InPlan(before.*kept.List, kept.Item))
            continue;
        (told.*kept.List).push_back(kept.Item);
        JournalKeptItem(kept, db.Platform);
    }
    // Compared by what they name: another spelling of an item may still be
    // in the plan.
    KeptNames planned(db.Merged);
    KeptNames alreadyTold(told);
    const std::string cause = CommonItemReason(db);
    for (const auto list : kToldLists) {
        if (isDone(list))
            continue;
        for (const std::string& item : before.*list) {
            if (!planned.Protects(list, item) && !alreadyTold.Protects(list, item))
                JournalKeptItem({list, item, cause}, db.Platform);
        }
    }
}

bool Listed(const std::vector<ListedPrinter>& printers, const char* name)
{
    return std::any_of(printers.begin(), printers.end(),
                       [&](const ListedPrinter& p) { return text::FoldEqual(p.Name, name); });
}

} // namespace

bool ReplanAfterPrinters(RemovalState& state)
{
    if (!state.Database)
        return false;
    UninstallDatabase& db = *state.Database;
    // A deletion the spooler accepted may leave the queue listed (pending
    // while it finishes a job): whatever the queue needs stays while it is
    // there. Unable to list, trust the deletions.
    const std::vector<ListedPrinter>* listed = state.Printers.Now();
    bool stayed = false;
    for (CActivePrinter& printer : db.Printers) {
        if (!printer.ToRemove || printer.Foreign)
            continue;
        if (printer.Removed && listed && Listed(*listed, printer.PrinterName)) {
            printer.Removed = 0;
            journal::Kept(journal::op::kPrinter, printer.PrinterName, "still listed by the spooler after its deletion");
        }
        if (printer.Removed)
            continue;
        printer.Stayed = 1;
        stayed = true;
    }
    if (!stayed)
        return false;
    Rebuild(db, {&UninstallProfile::Hooks});
    return true;
}

bool ReplanAfterDrivers(RemovalState& state)
{
    if (!state.Database)
        return false;
    UninstallDatabase& db = *state.Database;
    ItemList planned = db.Merged.Drivers;
    for (const CActivePrinter& printer : db.Printers) {
        if (printer.ToRemove && printer.Removed && printer.DriverName[0] != '\0')
            planned.emplace_back(printer.DriverName);
    }
    SortAndUniqueItems(planned);
    bool kept = false;
    for (const std::string& driver : planned) {
        if (HoldsItem(db.StayingDrivers, driver))
            continue;
        // In doubt, the driver is there.
        if (DriverStillInstalled(state.Changes, driver.c_str()).value_or(true)) {
            db.StayingDrivers.push_back(driver);
            kept = true;
        }
    }
    if (!kept)
        return false;
    Rebuild(db, {&UninstallProfile::Hooks, &UninstallProfile::Drivers});
    return true;
}
