#include "ScriptReader.h"

#include <algorithm>
#include <string>

namespace {

constexpr char kMfgs[] = "UnPrinterMfgs";
constexpr char kDrivers[] = "UnPrinterDrivers";
constexpr char kCatchAll[] = "Unz_CatchAll";
constexpr char kIgnore[] = "Unx_Ignore";

// The raised errors of the reader; caught by it.
struct ScriptError {
    const char* what;
};

// What the reader takes from an entry: the key, or the whole line.
std::string EntryText(const IniEntry& entry, bool wholeLine)
{
    std::string s = entry.key;
    if (wholeLine && !entry.value.empty())
        s.append("=").append(entry.value);
    return s;
}

std::int32_t LeadingNumber(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    std::int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > INT32_MAX)
            return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

void ReadStarter(std::vector<UninstallProfile>& out, const IniModel& script, const char* path, const char* section,
                 bool wholeLines, void (*kind)(UninstallProfile&))
{
    const IniSection* starters = script.FindSection(section);
    if (!starters)
        return;
    // Every entry counts: one left out of a keep profile would make its
    // items removable.
    for (const IniEntry& entry : starters->entries) {
        const std::string line = EntryText(entry, wholeLines);
        if (line.empty())
            continue;
        UninstallProfile profile;
        text::CopyWhole(profile.ScriptPath, path);
        kind(profile);
        if (!FillProfile(profile, script, line))
            continue;
        // A manufacturer without a name would match drivers by an empty first word.
        if (profile.IsManufacturer && profile.Name[0] == '\0')
            continue;
        out.push_back(std::move(profile));
    }
}

// The items of one category section, whole sections of any size.
ItemList CategoryItems(const IniSection& section, bool files)
{
    ItemList items;
    for (const IniEntry& entry : section.entries) {
        std::string item = EntryText(entry, true);
        // The file removal uses only the name before the first '=', so a
        // line too long to hold still names its file.
        if (files && item.size() >= text::kMaxText)
            item = entry.key;
        // A line too long for an item is left out rather than cut.
        if (item.empty() || item.size() >= text::kMaxText)
            continue;
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

bool FillProfile(UninstallProfile& profile, const IniModel& script, std::string_view starterLine)
{
    const std::size_t first = starterLine.find(',');
    const std::string_view name = starterLine.substr(0, first);
    std::string_view base, number;
    if (first != std::string_view::npos) {
        const std::string_view rest = starterLine.substr(first + 1);
        const std::size_t second = rest.find(',');
        base = rest.substr(0, second);
        if (second != std::string_view::npos)
            number = rest.substr(second + 1);
    }
    // A cut name or section base would name another driver or other sections.
    if (!text::CopyWhole(profile.Name, text::TrimAll(name, '"')) || !text::CopyWhole(profile.SectionBase, base))
        return false;
    profile.Number = LeadingNumber(number);

    for (const ProfileCategory& category : kProfileCategories) {
        std::string sectionName(profile.SectionBase);
        sectionName.append(".").append(category.suffix);
        const IniSection* section = script.FindSection(sectionName.c_str());
        if (!section)
            continue;
        ItemList items = CategoryItems(*section, category.list == &UninstallProfile::Files);
        if (items.empty())
            continue;
        SortItems(items);
        UniqueItems(items);
        profile.*category.list = std::move(items);
    }
    return true;
}

void SortAndUniqueProfiles(std::vector<UninstallProfile>& profiles)
{
    const auto byName = [](const UninstallProfile& a, const UninstallProfile& b) {
        return text::FoldCompare(a.Name, b.Name) < 0;
    };
    if (!std::is_sorted(profiles.begin(), profiles.end(), byName))
        std::stable_sort(profiles.begin(), profiles.end(), byName);
    profiles.erase(std::unique(profiles.begin(), profiles.end(),
                               [](const UninstallProfile& a, const UninstallProfile& b) {
                                   return text::FoldEqual(a.Name, b.Name);
                               }),
                   profiles.end());
}

bool ReadScriptProfiles(std::vector<UninstallProfile>& profiles, const IniModel& script, const char* path)
{
    try {
        if (script.GetEntryCount(kMfgs) == 0 && script.GetEntryCount(kDrivers) == 0 &&
            script.GetEntryCount(kIgnore) == 0 && script.GetEntryCount(kCatchAll) == 0)
            throw ScriptError{"no starter sections"};

        std::vector<UninstallProfile> read;
        ReadStarter(read, script, path, kMfgs, true, [](UninstallProfile& p) { p.IsManufacturer = 1; });
        const std::size_t drivers = read.size();
        ReadStarter(read, script, path, kDrivers, false, [](UninstallProfile&) {});
        ReadStarter(read, script, path, kCatchAll, false, [](UninstallProfile& p) { p.IsCatchAll = 1; });
        ReadStarter(read, script, path, kIgnore, false, [](UninstallProfile& p) { p.IsIgnore = 1; });
        // Driver, catch-all and ignore profiles name their own driver.
        for (std::size_t i = drivers; i < read.size(); ++i)
            read[i].Drivers.emplace_back(read[i].Name);

        profiles.insert(profiles.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
        SortAndUniqueProfiles(profiles);
        return true;
    } catch (const ScriptError&) {
        return false;
    }
}
