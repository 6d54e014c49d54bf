#include "ScriptReader.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Starter sections are read through 260 bytes, category sections through 4096.
constexpr std::int32_t kStarterBuffer = 260;
constexpr std::int32_t kCategoryBuffer = 4096;

constexpr char kMfgs[] = "UnPrinterMfgs";
constexpr char kDrivers[] = "UnPrinterDrivers";
constexpr char kCatchAll[] = "Unz_CatchAll";
constexpr char kIgnore[] = "Unx_Ignore";

// The raised errors of the reader; caught by it.
struct ScriptError {
    const char* what;
};

std::vector<std::string> Strings(const char* list)
{
    std::vector<std::string> out;
    for (const char* p = list; *p; p += std::strlen(p) + 1)
        out.emplace_back(p);
    return out;
}

std::vector<std::string> SectionStrings(const IniModel& script, const char* name, std::int32_t size, bool lines)
{
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    const std::int32_t n =
        lines ? script.GetSectionLines(name, buffer.data(), size) : script.GetKeys(name, buffer.data(), size);
    if (n == 0)
        return {};
    return Strings(buffer.data());
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
    if (script.GetEntryCount(section) == 0)
        return;
    for (const std::string& line : SectionStrings(script, section, kStarterBuffer, wholeLines)) {
        UninstallProfile profile;
        text::CopyWhole(profile.ScriptPath, path);
        kind(profile);
        FillProfile(profile, script, line);
        out.push_back(std::move(profile));
    }
}

} // namespace

void FillProfile(UninstallProfile& profile, const IniModel& script, std::string_view starterLine)
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
    text::CopyWhole(profile.Name, text::TrimAll(name, '"'));
    text::CopyWhole(profile.SectionBase, base);
    profile.Number = LeadingNumber(number);

    for (const ProfileCategory& category : kProfileCategories) {
        std::string section(profile.SectionBase);
        section.append(".").append(category.suffix);
        std::vector<std::string> items = SectionStrings(script, section.c_str(), kCategoryBuffer, true);
        if (items.empty())
            continue;
        // A line too long for an item is left out rather than cut.
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [](const std::string& item) { return item.size() >= text::kMaxText; }),
                    items.end());
        SortItems(items);
        UniqueItems(items);
        profile.*category.list = std::move(items);
    }
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
