#include "DatabaseBuild.h"

#include "ItemNames.h"
#include "PathParts.h"
#include "ScriptReader.h"

#include <algorithm>

namespace {

constexpr char kVeltrope[] = "Veltrope";

std::string_view FirstWord(std::string_view s) { return s.substr(0, s.find(' ')); }

void SortAndUnique(UninstallProfile& p)
{
    for (auto list : kAllLists)
        SortAndUniqueItems(p.*list);
}

} // namespace

// A build takes them into its own list, never into the base work list: a
// later build in which a printer stays must not find them there.
UninstallProfile CommonItems(const DatabaseContent& db, CommonPart part)
{
    UninstallProfile common;
    UninstallProfile veltrope;
    if (part == CommonPart::All && FindProfile(db, veltrope, kVeltrope))
        common.Merge(veltrope);
    for (const UninstallProfile& profile : db.Profiles) {
        PathParts script;
        script.Split(profile.ScriptPath);
        if (text::FoldEqual(script.extension, ".unm"))
            common.Files.push_back(std::string(script.name) + script.extension);
        if (profile.IsCatchAll)
            common.Merge(profile);
    }
    AppendRegistryItem(common, "HKLM", "SOFTWARE\\QUORVEL\\OEM_Q", "", true);
    AppendRegistryItem(common, "HKLM", "SOFTWARE\\QUORVEL\\QRS64__Q", "", true);
    AppendRegistryItem(common, "HKLM", "SOFTWARE\\QUORVEL\\Filters", "", true);
    if (part == CommonPart::All)
        AppendRegistryItem(common, "HKLM", "SOFTWARE\\QUORVEL", "", false);
    SortAndUnique(common);
    return common;
}

bool MakerStays(const DatabaseContent& db) { return db.KeptPrinterCount != 0 || !db.StayingDrivers.empty(); }

namespace {

// The items of `base` and `extra` together, in item order without
// duplicates (the base's first among equals), each given to `take`.
template <typename Take>
void ForEachCandidate(const ItemList& base, const ItemList& extra, Take take)
{
    if (StrictlyAscending(base) && StrictlyAscending(extra)) {
        auto a = base.begin();
        auto b = extra.begin();
        while (a != base.end() || b != extra.end()) {
            const int order = a == base.end() ? 1 : b == extra.end() ? -1 : text::FoldCompare(*a, *b);
            if (order <= 0) {
                take(*a++);
                if (order == 0)
                    ++b;
            } else {
                take(*b++);
            }
        }
        return;
    }
    std::vector<const std::string*> all;
    all.reserve(base.size() + extra.size());
    for (const std::string& item : base)
        all.push_back(&item);
    for (const std::string& item : extra)
        all.push_back(&item);
    std::stable_sort(all.begin(), all.end(), [](const std::string* x, const std::string* y) { return ItemLess(*x, *y); });
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i == 0 || !text::FoldEqual(*all[i - 1], *all[i]))
            take(*all[i]);
    }
}

// `target` becomes the items of `base` and `extra` that remove nothing
// `kept` names.
void AssignRemovable(UninstallProfile& target, const UninstallProfile& base, const UninstallProfile& extra,
                     KeptNames& kept)
{
    target.Clear();
    text::CopyWhole(target.Name, base.Name);
    text::CopyWhole(target.SectionBase, base.SectionBase);
    text::CopyWhole(target.ScriptPath, base.ScriptPath);
    target.IsManufacturer = base.IsManufacturer;
    target.IsCatchAll = base.IsCatchAll;
    target.IsIgnore = base.IsIgnore;
    target.Number = base.Number;
    for (std::size_t index = 0; index < std::size(kAllLists); ++index) {
        const auto list = kAllLists[index];
        const ItemKind kind = KindOf(list);
        ItemList& out = target.*list;
        out.reserve((base.*list).size());
        ForEachCandidate(base.*list, extra.*list, [&](const std::string& item) {
            if (!kept.Protects(index, kind, item))
                out.push_back(item);
        });
    }
}

} // namespace

namespace {

bool NameLess(const UninstallProfile& a, const UninstallProfile& b) { return text::FoldCompare(a.Name, b.Name) < 0; }

// The first profile of that name; by binary search when the list is sorted
// by name, as the readers and the build leave it.
const UninstallProfile* Lookup(const std::vector<UninstallProfile>& profiles, std::string_view name, bool sorted)
{
    if (sorted) {
        auto it = std::lower_bound(profiles.begin(), profiles.end(), name,
                                   [](const UninstallProfile& p, std::string_view n) {
                                       return text::FoldCompare(p.Name, n) < 0;
                                   });
        return it != profiles.end() && text::FoldEqual(it->Name, name) ? &*it : nullptr;
    }
    for (const UninstallProfile& profile : profiles) {
        if (text::FoldEqual(profile.Name, name))
            return &profile;
    }
    return nullptr;
}

bool SortedByName(const std::vector<UninstallProfile>& profiles)
{
    return std::is_sorted(profiles.begin(), profiles.end(), NameLess);
}

// The last manufacturer profile whose first word is the driver's.
const UninstallProfile* LookupManufacturer(const std::vector<UninstallProfile>& profiles, std::string_view driver)
{
    const std::string_view word = FirstWord(driver);
    const UninstallProfile* match = nullptr;
    for (const UninstallProfile& profile : profiles) {
        if (profile.IsManufacturer && text::FoldEqual(FirstWord(profile.Name), word))
            match = &profile;
    }
    return match;
}

} // namespace

const UninstallProfile* ProfileForDriver(const DatabaseContent& db, std::string_view driver, bool sorted)
{
    if (const UninstallProfile* found = Lookup(db.Profiles, driver, sorted))
        return found;
    return LookupManufacturer(db.Profiles, driver);
}

bool ProfilesSortedByName(const DatabaseContent& db) { return SortedByName(db.Profiles); }

bool FindProfile(const DatabaseContent& db, UninstallProfile& out, std::string_view name)
{
    if (const UninstallProfile* found = Lookup(db.Profiles, name, false)) {
        out = *found;
        return true;
    }
    out.Clear();
    return false;
}

bool FindManufacturerProfile(const DatabaseContent& db, UninstallProfile& out, std::string_view driverName)
{
    out.Clear();
    const UninstallProfile* match = LookupManufacturer(db.Profiles, driverName);
    if (match)
        out = *match;
    return match != nullptr;
}

bool FillBaseWorkList(DatabaseContent& db, UninstallProfile& target)
{
    SortAndUniqueProfiles(db.Profiles);
    SortAndUnique(db.KeepList);
    SortAndUnique(db.Merged);
    target.Clear();
    bool merged = false;
    for (const UninstallProfile& profile : db.Profiles) {
        if (!profile.IsIgnore) {
            target.Merge(profile);
            merged = true;
        }
    }
    return merged;
}

void AdjustForVeltrope(DatabaseContent& db, bool unvelt)
{
    UninstallProfile veltrope;
    if (!FindProfile(db, veltrope, kVeltrope))
        return;
    if (unvelt) {
        db.BaseWorkList.Assign(veltrope);
        return;
    }
    // What the product names stays, however another script spells it.
    KeptNames kept(veltrope);
    const UninstallProfile base = db.BaseWorkList;
    AssignRemovable(db.BaseWorkList, base, UninstallProfile{}, kept);
}

bool BuildDatabase(DatabaseContent& db, bool win32s)
{
    db.KeepList.Clear();
    db.Merged.Clear();
    db.KeptPrinterCount = 0;
    db.RemovedPrinterCount = 0;

    // Removal follows masked printers, in one pass in inventory order, on
    // this build's own copy of the selection: the selection page alone
    // writes Skip, so a printer deselected later is not still marked.
    std::vector<CActivePrinter*> printers;
    std::vector<std::uint32_t> skip;
    std::vector<std::size_t> masked; // few, even on a print server
    for (CActivePrinter& p : db.Printers) {
        if (p.MaskedName[0] != '\0')
            masked.push_back(printers.size());
        printers.push_back(&p);
        skip.push_back(p.Skip);
    }
    for (std::size_t i = 0; i < printers.size() && !masked.empty(); ++i) {
        const CActivePrinter& p = *printers[i];
        if (skip[i] || p.Foreign || p.Removed || p.Stayed)
            continue;
        for (std::size_t j : masked) {
            if (text::FoldEqual(printers[j]->MaskedName, p.PrinterName))
                skip[j] = 0;
        }
    }

    // What must stay: the profiles of staying printers in inventory order,
    // then every catch-all and ignore profile, merged in that order. Each
    // profile counts once: merging it again would change nothing. A foreign
    // printer is never removed, so whatever its driver's profile names stays
    // too, and it counts as kept when the scripts know its driver.
    const bool sorted = SortedByName(db.Profiles);
    std::vector<const UninstallProfile*> keep;
    auto keepProfile = [&](const UninstallProfile* profile) {
        if (std::find(keep.begin(), keep.end(), profile) == keep.end())
            keep.push_back(profile);
    };
    // And what the spooler says a staying queue uses, whether or not a
    // script of its own names it: a shared driver file or print processor
    // named by the script of a printer that goes still stays.
    UninstallProfile inUse;
    for (std::size_t i = 0; i < printers.size(); ++i) {
        CActivePrinter& p = *printers[i];
        p.ToRemove = 0;
        if (p.Removed)
            continue;
        if (!skip[i] && !p.Foreign && !p.Stayed) {
            p.ToRemove = 1;
            ++db.RemovedPrinterCount;
            continue;
        }
        inUse.Files.insert(inUse.Files.end(), p.DriverFiles.begin(), p.DriverFiles.end());
        if (p.PrintProcessor[0] != '\0')
            inUse.PrintProcessors.emplace_back(p.PrintProcessor);
        if (p.DriverName[0] != '\0')
            inUse.Drivers.emplace_back(p.DriverName);
        const UninstallProfile* found = ProfileForDriver(db, p.DriverName, sorted);
        if (found)
            keepProfile(found);
        if (!p.Foreign || found)
            ++db.KeptPrinterCount;
    }

    // A driver the spooler kept stays whole, as a printer that stays does.
    for (const std::string& driver : db.StayingDrivers) {
        inUse.Drivers.push_back(driver);
        if (const UninstallProfile* found = ProfileForDriver(db, driver, sorted))
            keepProfile(found);
    }
    for (const UninstallProfile& p : db.Profiles) {
        if (p.IsCatchAll || p.IsIgnore)
            keepProfile(&p);
    }
    SortAndUnique(inUse);
    keep.push_back(&inUse);
    // The maker's common items go with its last printer, and only then:
    // while one stays they stay too, whatever script names them.
    const bool makerStays = MakerStays(db);
    const UninstallProfile shared = makerStays ? CommonItems(db, CommonPart::Kept) : UninstallProfile{};
    if (makerStays)
        keep.push_back(&shared);
    MergeInOrder(db.KeepList, keep);

    // Everything named, less whatever would take away something kept: items
    // are compared by what they name, not by their text.
    KeptNames kept(db.KeepList);
    AssignRemovable(db.Merged, db.BaseWorkList, makerStays ? UninstallProfile{} : CommonItems(db, CommonPart::All), kept);
    db.Merged.Merge(db.RunAdditions);

    ItemNamer namer;
    const std::string program(namer.Names(ItemKind::File, 0, win32s ? "VELTROPE.EXE" : "VELTRO32.EXE")[0].text);
    db.VeltropeSpared = 1;
    for (const std::string& file : db.Merged.Files) {
        if (namer.Names(ItemKind::File, 0, file)[0].text == program)
            db.VeltropeSpared = 0;
    }

    SortAndUniqueProfiles(db.Profiles);
    SortAndUnique(db.KeepList);
    SortAndUnique(db.Merged);
    return true;
}

void StartRemovalPlan(DatabaseContent& db)
{
    db.RunAdditions.Clear();
    db.StayingDrivers.clear();
    for (CActivePrinter& printer : db.Printers)
        printer.Stayed = 0;
}

void AddToPlan(DatabaseContent& db, ItemList UninstallProfile::* list, const std::string& item)
{
    (db.RunAdditions.*list).push_back(item);
    (db.Merged.*list).push_back(item);
}

int CountOfferedPrinters(const DatabaseContent& db)
{
    int count = 0;
    for (const CActivePrinter& p : db.Printers)
        count += p.IsOffered() ? 1 : 0;
    return count;
}
