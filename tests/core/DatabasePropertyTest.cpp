// Random machines, each built several times as the selection changes. The
// expected merged profile is worked out here from the rules alone, on what
// the generated items stand for rather than on their text:
//   - a file goes unless a needed item names the same file;
//   - a registry value goes unless a needed item names the same value of the
//     same key, or that key or one above it; a key goes unless a needed item
//     names that key, one below or one above it;
//   - a directory goes unless a needed directory is it, lies below or above it;
//   - a service or a driver goes unless a needed item names it;
// where "needed" is what the profile of a staying printer (by driver, else by
// manufacturer), a catch-all or an ignore profile lists. The maker's common
// items come exactly when no printer of the maker stays, and a build depends
// on nothing but the selection of that moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <list>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "script/DatabaseBuild.h"

namespace {

enum Category { kFile, kRegistry, kDirectory, kService, kDriver };

// What an item stands for.
struct Meaning {
    Category category;
    std::string root;              // registry
    std::vector<std::string> path; // registry key, directory
    std::string name;              // file, service, driver, registry value
};

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWith(const std::vector<std::string>& path, const std::vector<std::string>& prefix)
{
    return path.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

// Do removing `goes` and removing `needed` take anything in common? A value
// is a leaf of its key; a key or directory takes its whole subtree.
bool TakesAway(const Meaning& goes, const Meaning& needed)
{
    if (goes.category != needed.category)
        return false;
    switch (goes.category) {
    case kRegistry:
        if (goes.root != needed.root)
            return false;
        if (!goes.name.empty() && !needed.name.empty())
            return goes.path == needed.path && goes.name == needed.name;
        if (!goes.name.empty())
            return StartsWith(goes.path, needed.path);
        if (!needed.name.empty())
            return StartsWith(needed.path, goes.path);
        return StartsWith(needed.path, goes.path) || StartsWith(goes.path, needed.path);
    case kDirectory:
        return StartsWith(needed.path, goes.path) || StartsWith(goes.path, needed.path);
    default:
        return goes.name == needed.name;
    }
}

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    bool Coin() { return Pick(2) == 0; }

    // The text in random letter case.
    std::string Cased(const std::string& s)
    {
        std::string out = s;
        for (char& c : out)
            c = static_cast<char>(Coin() ? std::toupper(static_cast<unsigned char>(c)) : c);
        return out;
    }

    std::vector<std::string> Path(const char* const* names, int count, int depth)
    {
        std::vector<std::string> path;
        for (int i = 1 + Pick(depth); i > 0; --i)
            path.push_back(names[Pick(count)]);
        return path;
    }

    // One item of a random category, in one of the ways scripts write it.
    std::pair<ItemList UninstallProfile::*, std::string> Item(Meaning& meaning)
    {
        static const char* const keys[] = {"a", "b", "shared"};
        static const char* const values[] = {"v1", "v2"};
        static const char* const dirs[] = {"lum", "x", "common"};
        switch (Pick(4)) {
        case 0: {
            meaning = {kFile, "", {}, "f" + std::to_string(Pick(6)) + ".dll"};
            std::string text = Cased(meaning.name);
            // Windows reads "C:f1.dll" and "f1.dll." as f1.dll too.
            switch (Pick(6)) {
            case 0: return {&UninstallProfile::Files, text + "=" + std::to_string(Pick(3))};
            case 1: return {&UninstallProfile::Files, "\"" + text + "\""};
            case 2: return {&UninstallProfile::Files, "sub\\" + text};
            case 3: return {&UninstallProfile::Files, "C:" + text};
            case 4: return {&UninstallProfile::Files, text + "."};
            default: return {&UninstallProfile::Files, text};
            }
        }
        case 1: {
            meaning = {kRegistry, Coin() || Coin() ? "hklm" : "hkcu", {"software", "quorvel"}, ""};
            for (const std::string& key : Path(keys, 3, 2))
                meaning.path.push_back(key);
            if (Pick(3) == 0)
                meaning.name = values[Pick(2)];
            std::string key = "SOFTWARE\\QUORVEL";
            for (std::size_t i = 2; i < meaning.path.size(); ++i)
                key += (Pick(4) == 0 ? "\\\\" : "\\") + Cased(meaning.path[i]);
            if (Coin())
                key += "\\";
            const std::string quote = Coin() ? "\"" : "";
            return {&UninstallProfile::RegistryKeys, Cased(meaning.root) + "," + quote + key + quote + ",\"" +
                                                         Cased(meaning.name) + "\"," + (Coin() ? "1" : "0")};
        }
        case 2: {
            meaning = {kDirectory, "", Path(dirs, 3, 3), ""};
            std::string text;
            for (const std::string& part : meaning.path)
                text += (text.empty() ? "" : Coin() ? "\\" : "/") + Cased(part);
            return {&UninstallProfile::Directorys, Coin() ? text + "\\" : text};
        }
        default: {
            meaning = {kService, "", {}, "qsvc" + std::to_string(Pick(3))};
            const std::string text = Cased(meaning.name);
            return {&UninstallProfile::Services, Coin() ? "\"" + text + "\"" : text};
        }
        }
    }

private:
    std::mt19937 rng_;
};

struct Machine {
    std::vector<UninstallProfile> profiles;
    std::list<CActivePrinter> printers;
    std::map<std::string, Meaning> meanings; // by exact item text
    std::vector<std::string> commonKeys;     // the maker's four registry items
};

const char* const kDrivers[] = {"QUORVEL A", "QUORVEL B", "QUORVEL C", "QUORVEL D", "quorvel b", "QUORVEL Xyz",
                                "Other X"};

Machine RandomMachine(Generator& g)
{
    Machine m;
    auto add = [&](const char* name, bool mfg, bool catchAll, bool ignore) {
        UninstallProfile p;
        text::CopyWhole(p.Name, name);
        text::CopyWhole(p.ScriptPath, g.Coin() ? "C:\\drv\\Xrmv___Q.unm" : "C:\\other\\extra.unm");
        p.IsManufacturer = mfg;
        p.IsCatchAll = catchAll;
        p.IsIgnore = ignore;
        if (!mfg) {
            p.Drivers.push_back(name);
            m.meanings[name] = {kDriver, "", {}, Lower(name)};
        }
        for (int i = g.Pick(7); i > 0; --i) {
            Meaning meaning;
            auto [list, item] = g.Item(meaning);
            (p.*list).push_back(item);
            m.meanings[item] = meaning;
        }
        p.SortAll();
        p.UniqueAll();
        m.profiles.push_back(std::move(p));
    };
    for (const char* name : {"QUORVEL A", "QUORVEL B", "QUORVEL C", "QUORVEL D"}) {
        if (g.Pick(4) != 0)
            add(name, false, false, false);
    }
    if (g.Coin())
        add("QUORVEL", true, false, false);
    if (g.Pick(3) == 0)
        add("Keep Always", false, true, false);
    if (g.Pick(3) == 0)
        add("Keep Ignored", false, false, true);

    // The common items, as the build writes them.
    m.meanings["Xrmv___Q.unm"] = {kFile, "", {}, "xrmv___q.unm"};
    m.meanings["extra.unm"] = {kFile, "", {}, "extra.unm"};
    for (const char* key : {"OEM_Q", "QRS64__Q", "Filters", ""}) {
        Meaning meaning{kRegistry, "hklm", {"software", "quorvel"}, ""};
        std::string text = std::string("HKLM,\"SOFTWARE\\QUORVEL") + (*key ? "\\" : "") + key + "\",\"\"," +
                           (*key ? "1" : "0");
        if (*key)
            meaning.path.push_back(Lower(key));
        m.meanings[text] = meaning;
        m.commonKeys.push_back(text);
    }

    const int printers = g.Pick(7);
    for (int i = 0; i < printers; ++i) {
        CActivePrinter p;
        text::CopyWhole(p.PrinterName, "P" + std::to_string(i));
        text::CopyWhole(p.DriverName, kDrivers[g.Pick(static_cast<int>(std::size(kDrivers)))]);
        p.IsMakerDriver = 1;
        if (g.Pick(4) == 0)
            text::CopyWhole(p.MaskedName, "P" + std::to_string(g.Pick(printers)));
        p.Foreign = g.Pick(6) == 0 && p.MaskedName[0] == '\0';
        if (p.Foreign)
            p.IsMakerDriver = 0;
        p.Skip = g.Coin();
        p.Offered = g.Pick(5) != 0;
        if (!p.Offered)
            p.Skip = 1; // the command line kept it off the list
        m.printers.push_back(p);
    }
    return m;
}

const UninstallProfile* ProfileOf(const Machine& m, const CActivePrinter& p)
{
    for (const UninstallProfile& profile : m.profiles) {
        if (Lower(profile.Name) == Lower(p.DriverName))
            return &profile;
    }
    const std::string word = Lower(std::string(p.DriverName).substr(0, std::string(p.DriverName).find(' ')));
    for (const UninstallProfile& profile : m.profiles) {
        if (profile.IsManufacturer && Lower(profile.Name) == word)
            return &profile;
    }
    return nullptr;
}

struct Expected {
    std::set<std::string> merged[5]; // folded texts, by category
    std::vector<std::uint32_t> removed;
    std::uint32_t kept = 0;
};

Expected Expect(const Machine& m)
{
    Expected e;
    // Who goes: the selection, then each removed printer's masked printers,
    // in one pass in inventory order.
    std::vector<const CActivePrinter*> printers;
    for (const CActivePrinter& p : m.printers)
        printers.push_back(&p);
    std::vector<bool> goes;
    for (const CActivePrinter* p : printers)
        goes.push_back(!p->Skip && !p->Foreign);
    for (std::size_t i = 0; i < printers.size(); ++i) {
        if (!goes[i])
            continue;
        for (std::size_t j = 0; j < printers.size(); ++j) {
            if (Lower(printers[j]->MaskedName) == Lower(printers[i]->PrinterName) && printers[j]->MaskedName[0])
                goes[j] = true;
        }
    }

    std::vector<const UninstallProfile*> needed;
    for (std::size_t i = 0; i < printers.size(); ++i) {
        e.removed.push_back(goes[i] ? 1 : 0);
        if (goes[i])
            continue;
        const UninstallProfile* profile = ProfileOf(m, *printers[i]);
        if (profile)
            needed.push_back(profile);
        if (!printers[i]->Foreign || profile)
            ++e.kept;
    }
    for (const UninstallProfile& p : m.profiles) {
        if (p.IsCatchAll || p.IsIgnore)
            needed.push_back(&p);
    }

    std::vector<std::string> candidates;
    for (const UninstallProfile& p : m.profiles) {
        for (auto list : kAllLists) {
            for (const std::string& item : p.*list) {
                if (!p.IsIgnore)
                    candidates.push_back(item);
            }
        }
        if (e.kept == 0)
            candidates.push_back(std::string(p.ScriptPath).substr(std::string(p.ScriptPath).rfind('\\') + 1));
    }
    if (e.kept == 0)
        candidates.insert(candidates.end(), m.commonKeys.begin(), m.commonKeys.end());
    for (const std::string& item : candidates) {
        const Meaning& goesAway = m.meanings.at(item);
        bool takes = false;
        for (const UninstallProfile* p : needed) {
            for (auto list : kAllLists) {
                for (const std::string& need : p->*list)
                    takes = takes || TakesAway(goesAway, m.meanings.at(need));
            }
        }
        if (!takes)
            e.merged[goesAway.category].insert(Lower(item));
    }
    return e;
}

std::set<std::string> Folded(const ItemList& items)
{
    std::set<std::string> out;
    for (const std::string& item : items)
        out.insert(Lower(item));
    return out;
}

DatabaseContent Loaded(const Machine& m)
{
    DatabaseContent db;
    db.Profiles = m.profiles;
    db.Printers = m.printers;
    FillBaseWorkList(db, db.BaseWorkList);
    AdjustForVeltrope(db, false);
    return db;
}

} // namespace

TEST(DatabaseProperty, TheMergedProfileIsWhatTheRulesSayAfterEverySelection)
{
    Generator g(11);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        Machine m = RandomMachine(g);
        DatabaseContent db = Loaded(m);
        const UninstallProfile base = db.BaseWorkList;
        for (int build = 0; build < 4; ++build) {
            SCOPED_TRACE(build);
            // The selection page changes the offered printers only.
            for (CActivePrinter& p : db.Printers) {
                if (p.Offered && !p.Foreign && g.Coin())
                    p.Skip = !p.Skip;
            }
            m.printers = db.Printers;
            BuildDatabase(db, false);

            const Expected e = Expect(m);
            EXPECT_EQ(db.KeptPrinterCount, e.kept);
            std::vector<std::uint32_t> removed;
            for (const CActivePrinter& p : db.Printers)
                removed.push_back(p.ToRemove);
            EXPECT_EQ(removed, e.removed);
            EXPECT_EQ(Folded(db.Merged.Files), e.merged[kFile]);
            EXPECT_EQ(Folded(db.Merged.RegistryKeys), e.merged[kRegistry]);
            EXPECT_EQ(Folded(db.Merged.Directorys), e.merged[kDirectory]);
            EXPECT_EQ(Folded(db.Merged.Services), e.merged[kService]);
            EXPECT_EQ(Folded(db.Merged.Drivers), e.merged[kDriver]);
            for (auto list : kAllLists)
                ASSERT_EQ(db.BaseWorkList.*list, base.*list) << "the base work list never changes";

            // The same selection on a machine loaded afresh gives the same.
            DatabaseContent fresh = Loaded(m);
            BuildDatabase(fresh, false);
            for (auto list : kAllLists)
                ASSERT_EQ(db.Merged.*list, fresh.Merged.*list);
            if (HasFailure())
                return;
        }
    }
}
