#include "DatabaseBuild.h"

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

// The maker's common items, added when no printer of the maker stays.
void AddCommonItems(DatabaseContent& db)
{
    UninstallProfile veltrope;
    if (FindProfile(db, veltrope, kVeltrope))
        db.BaseWorkList.Merge(veltrope);
    for (const UninstallProfile& profile : db.Profiles) {
        PathParts script;
        script.Split(profile.ScriptPath);
        if (text::FoldEqual(script.extension, ".unm"))
            db.BaseWorkList.Files.push_back(std::string(script.name) + script.extension);
        if (profile.IsCatchAll)
            db.BaseWorkList.Merge(profile);
    }
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL\\OEM_Q", "", true);
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL\\QRS64__Q", "", true);
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL\\Filters", "", true);
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL", "", false);
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
    if (unvelt)
        db.BaseWorkList.Assign(veltrope);
    else
        db.BaseWorkList.Subtract(veltrope);
}

bool BuildDatabase(DatabaseContent& db, bool win32s)
{
    db.KeepList.Clear();
    db.Merged.Clear();
    db.KeptPrinterCount = 0;
    db.RemovedPrinterCount = 0;

    // Removal follows masked printers, in one pass in inventory order.
    for (const CActivePrinter& p : db.Printers) {
        if (p.Skip || p.Foreign || p.Removed)
            continue;
        for (CActivePrinter& q : db.Printers) {
            if (q.MaskedName[0] != '\0' && text::FoldEqual(q.MaskedName, p.PrinterName))
                q.Skip = 0;
        }
    }

    // What must stay: the profiles of staying printers in inventory order,
    // then every catch-all and ignore profile, merged in that order. Each
    // profile counts once: merging it again would change nothing.
    const bool sorted = SortedByName(db.Profiles);
    std::vector<const UninstallProfile*> keep;
    auto keepProfile = [&](const UninstallProfile* profile) {
        if (std::find(keep.begin(), keep.end(), profile) == keep.end())
            keep.push_back(profile);
    };
    for (const CActivePrinter& p : db.Printers) {
        if (p.Foreign || p.Removed)
            continue;
        if (!p.Skip) {
            ++db.RemovedPrinterCount;
            continue;
        }
        ++db.KeptPrinterCount;
        const UninstallProfile* found = Lookup(db.Profiles, p.DriverName, sorted);
        if (!found)
            found = LookupManufacturer(db.Profiles, p.DriverName);
        if (found)
            keepProfile(found);
    }

    if (db.KeptPrinterCount == 0)
        AddCommonItems(db);

    for (const UninstallProfile& p : db.Profiles) {
        if (p.IsCatchAll || p.IsIgnore)
            keepProfile(&p);
    }
    MergeInOrder(db.KeepList, keep);

    AssignDifference(db.Merged, db.BaseWorkList, db.KeepList);

    const char* program = win32s ? "VELTROPE.EXE" : "VELTRO32.EXE";
    db.VeltropeSpared = 1;
    for (const std::string& file : db.Merged.Files) {
        if (text::FoldEqual(file, program))
            db.VeltropeSpared = 0;
    }

    SortAndUniqueProfiles(db.Profiles);
    SortAndUnique(db.KeepList);
    SortAndUnique(db.Merged);
    return true;
}

int CountOfferedPrinters(const DatabaseContent& db)
{
    int count = 0;
    for (const CActivePrinter& p : db.Printers)
        count += p.IsOffered() ? 1 : 0;
    return count;
}
