#include "KeptReasons.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "ItemNames.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args)
{
    char text[512];
    const int n = std::snprintf(text, sizeof text, format, args...);
    return n < 0 ? std::string() : std::string(text);
}

// One source of what the build keeps, with the reason it gives; its names
// are read the first time an item is asked about.
class Source {
public:
    Source(UninstallProfile items, std::string reason) : items_(std::move(items)), reason_(std::move(reason)) {}
    Source(const UninstallProfile* profile, std::string reason) : profile_(profile), reason_(std::move(reason)) {}

    bool Protects(ItemList UninstallProfile::* list, const std::string& item)
    {
        if (!names_)
            names_ = std::make_unique<KeptNames>(profile_ ? *profile_ : items_);
        return names_->Protects(list, item);
    }
    const std::string& Reason() const { return reason_; }

private:
    UninstallProfile items_;
    const UninstallProfile* profile_ = nullptr;
    std::string reason_;
    std::unique_ptr<KeptNames> names_;
};

std::vector<Source> Sources(const DatabaseContent& db)
{
    std::vector<Source> sources;
    const bool sorted = ProfilesSortedByName(db);
    for (const CActivePrinter& printer : db.Printers) {
        if (printer.ToRemove || printer.Removed)
            continue;
        const char* name = printer.PrinterName;
        // A printer the removal chose and could not take away says so.
        const char* why = printer.Stayed ? ", which could not be removed" : "";
        if (const UninstallProfile* profile = ProfileForDriver(db, printer.DriverName, sorted))
            sources.emplace_back(profile, Format("needed by printer \"%s\"%s", name, why));
        UninstallProfile files;
        files.Files = printer.DriverFiles;
        sources.emplace_back(std::move(files), Format("a file of the driver of printer \"%s\"%s", name, why));
        if (printer.PrintProcessor[0] != '\0') {
            UninstallProfile processor;
            processor.PrintProcessors = {printer.PrintProcessor};
            sources.emplace_back(std::move(processor),
                                 Format("the print processor of printer \"%s\"%s", name, why));
        }
        if (printer.DriverName[0] != '\0') {
            UninstallProfile driver;
            driver.Drivers = {printer.DriverName};
            sources.emplace_back(std::move(driver), Format("the driver of printer \"%s\"%s", name, why));
        }
    }
    for (const std::string& driver : db.StayingDrivers) {
        const std::string reason = Format("needed by driver \"%s\", which could not be removed", driver.c_str());
        if (const UninstallProfile* profile = ProfileForDriver(db, driver, sorted))
            sources.emplace_back(profile, reason);
        UninstallProfile itself;
        itself.Drivers = {driver};
        sources.emplace_back(std::move(itself), reason);
    }
    for (const UninstallProfile& profile : db.Profiles) {
        if (profile.IsCatchAll || profile.IsIgnore)
            sources.emplace_back(&profile, Format("named by profile \"%s\", which always stays", profile.Name));
    }
    if (MakerStays(db))
        sources.emplace_back(CommonItems(db, CommonPart::Kept), CommonItemReason(db));
    return sources;
}

// What the naming rules never let go, whatever a script says.
const char* NeverRemoved(ItemNamer& namer, ItemList UninstallProfile::* list, const std::string& item)
{
    for (const ItemName& name : namer.Names(KindOf(list), ListTag(ListIndex(list)), item)) {
        if (!name.untouchable)
            continue;
        switch (KindOf(list)) {
        case ItemKind::Registry:
            return "a hive, its first level or a key of Windows";
        case ItemKind::File:
            return "a short name, which may name another file";
        default:
            return "never removed, whatever a script says";
        }
    }
    return nullptr;
}

} // namespace

std::string CommonItemReason(const DatabaseContent& db)
{
    std::string who = "a printer of the maker";
    // A printer on one of the maker's drivers rather than a masked one.
    auto staying = std::find_if(db.Printers.begin(), db.Printers.end(), [](const CActivePrinter& p) {
        return !p.ToRemove && !p.Removed && !p.Foreign && p.IsMakerDriver;
    });
    if (staying == db.Printers.end())
        staying = std::find_if(db.Printers.begin(), db.Printers.end(), [](const CActivePrinter& p) {
            return !p.ToRemove && !p.Removed && !p.Foreign;
        });
    if (staying != db.Printers.end())
        who = Format("printer \"%s\"%s", staying->PrinterName, staying->Stayed ? ", which could not be removed" : "");
    else if (!db.StayingDrivers.empty())
        who = Format("driver \"%s\", which could not be removed", db.StayingDrivers.front().c_str());
    return Format("a common item of the maker, which stays with %s", who.c_str());
}

std::vector<KeptItem> ExplainKeptItems(const DatabaseContent& db)
{
    std::vector<KeptItem> kept;
    std::vector<Source> sources;
    bool sourcesRead = false;
    ItemNamer namer;
    for (const auto list : kToldLists) {
        const ItemList& merged = db.Merged.*list;
        for (const std::string& item : db.BaseWorkList.*list) {
            if (std::binary_search(merged.begin(), merged.end(), item, ItemLess))
                continue;
            if (!std::exchange(sourcesRead, true))
                sources = Sources(db);
            std::string reason;
            if (const char* never = NeverRemoved(namer, list, item)) {
                reason = never;
            } else {
                const auto source = std::find_if(sources.begin(), sources.end(),
                                                 [&](Source& s) { return s.Protects(list, item); });
                reason = source != sources.end() ? source->Reason() : "names the same thing as an item that stays";
            }
            kept.push_back({list, item, std::move(reason)});
        }
    }
    return kept;
}
