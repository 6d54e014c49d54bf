#include "DatabaseBuild.h"

#include "ScriptReader.h"

namespace {

constexpr char kVeltrope[] = "Veltrope";

std::string_view FirstWord(std::string_view s) { return s.substr(0, s.find(' ')); }

void SortAndUnique(UninstallProfile& p)
{
    p.SortAll();
    p.UniqueAll();
}

bool HasUnmExtension(std::string_view path, std::string_view& fileName)
{
    const std::size_t slash = path.find_last_of("\\/:");
    fileName = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = fileName.rfind('.');
    return dot != std::string_view::npos && text::FoldEqual(fileName.substr(dot), ".unm");
}

// The maker's common items, added when no printer of the maker stays.
void AddCommonItems(DatabaseContent& db)
{
    UninstallProfile veltrope;
    if (FindProfile(db, veltrope, kVeltrope))
        db.BaseWorkList.Merge(veltrope);
    for (const UninstallProfile& profile : db.Profiles) {
        std::string_view fileName;
        if (HasUnmExtension(profile.ScriptPath, fileName))
            db.BaseWorkList.Files.emplace_back(fileName);
        if (profile.IsCatchAll)
            db.BaseWorkList.Merge(profile);
    }
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL\\OEM_Q", "", true);
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL\\QRS64__Q", "", true);
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL\\Filters", "", true);
    AppendRegistryItem(db.BaseWorkList, "HKLM", "SOFTWARE\\QUORVEL", "", false);
}

} // namespace

bool FindProfile(const DatabaseContent& db, UninstallProfile& out, std::string_view name)
{
    for (const UninstallProfile& profile : db.Profiles) {
        if (text::FoldEqual(profile.Name, name)) {
            out = profile;
            return true;
        }
    }
    out.Clear();
    return false;
}

bool FindManufacturerProfile(const DatabaseContent& db, UninstallProfile& out, std::string_view driverName)
{
    out.Clear();
    const std::string_view word = FirstWord(driverName);
    const UninstallProfile* match = nullptr;
    for (const UninstallProfile& profile : db.Profiles) {
        if (profile.IsManufacturer && text::FoldEqual(FirstWord(profile.Name), word))
            match = &profile;
    }
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

    UninstallProfile profile;
    for (const CActivePrinter& p : db.Printers) {
        if (p.Foreign || p.Removed)
            continue;
        const bool found =
            FindProfile(db, profile, p.DriverName) || FindManufacturerProfile(db, profile, p.DriverName);
        if (p.Skip) {
            ++db.KeptPrinterCount;
            if (found)
                db.KeepList.Merge(profile);
        } else {
            ++db.RemovedPrinterCount;
        }
    }

    if (db.KeptPrinterCount == 0)
        AddCommonItems(db);

    for (const UninstallProfile& p : db.Profiles) {
        if (p.IsCatchAll || p.IsIgnore)
            db.KeepList.Merge(p);
    }

    db.Merged.Assign(db.BaseWorkList);
    db.Merged.Subtract(db.KeepList);

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
