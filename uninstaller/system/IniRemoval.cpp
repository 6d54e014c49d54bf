#include "IniRemoval.h"

#include <optional>
#include <string>

#include "../common/Text.h"
#include "../script/FileSpec.h"
#include "../script/Ini.h"
#include "../script/PathParts.h"
#include "../common/Journal.h"

namespace {

// A longer entry would be cut to another file, section or key.
constexpr std::size_t kMaxEntry = 255;

bool ResolvedWindowsDirectory(char (&out)[text::kMaxText])
{
    FileSpec windows;
    windows.Resolve(location::WindowsDirectory);
    return text::CopyWhole(out, windows.Compose()) && out[0] != '\0';
}

bool WindowsDirectory(const RemovalState& state, char (&out)[text::kMaxText])
{
    if (state.WindowsDirectory[0] != '\0')
        return text::CopyWhole(out, state.WindowsDirectory);
    return ResolvedWindowsDirectory(out);
}

} // namespace

bool SplitIniEntry(std::string_view entry, IniEntryParts& parts)
{
    const std::size_t first = entry.find(',');
    const std::size_t second = first == std::string_view::npos ? first : entry.find(',', first + 1);
    if (second == std::string_view::npos)
        return false;
    const std::size_t third = entry.find(',', second + 1);
    parts.file = entry.substr(0, first);
    parts.section = entry.substr(first + 1, second - first - 1);
    parts.key = entry.substr(second + 1, third == std::string_view::npos ? third : third - second - 1);
    return !parts.file.empty() && !parts.section.empty() && !parts.key.empty();
}

std::optional<IniTarget> ReadIniEntry(std::string_view entry, const char* windowsDirectory)
{
    IniEntryParts parts;
    if (entry.size() > kMaxEntry || !SplitIniEntry(entry, parts))
        return std::nullopt;
    // Only the name and extension count: the file is always the Windows
    // directory's.
    PathParts named;
    named.Split(parts.file, text::IsLeadByte);
    if (named.name[0] == '\0')
        return std::nullopt;
    PathParts target;
    IniTarget ini;
    if (!text::CopyWhole(target.directory, windowsDirectory) || !text::CopyWhole(target.name, named.name) ||
        !text::CopyWhole(target.extension, named.extension) || !ComposePath(target, ini.Path, text::IsLeadByte) ||
        ini.Path[0] == '\0')
        return std::nullopt;
    ini.Section = parts.section;
    ini.Key = parts.key;
    ini.Item = std::string(ini.Path) + " [" + ini.Section + "] " + ini.Key;
    return ini;
}

std::string IniEntryItem(std::string_view entry)
{
    char windows[text::kMaxText] = {};
    if (!ResolvedWindowsDirectory(windows))
        return {};
    const std::optional<IniTarget> ini = ReadIniEntry(entry, windows);
    return ini ? ini->Item : std::string();
}

void RemoveIniEntries(RemovalState& state)
{
    char windows[text::kMaxText] = {};
    if (!state.Database || !WindowsDirectory(state, windows))
        return;
    using journal::op::kIniEntry;
    for (const std::string& entry : state.Database->Merged.DeleteIni) {
        const std::optional<IniTarget> ini = ReadIniEntry(entry, windows);
        if (!ini) {
            journal::Kept(kIniEntry, entry.c_str(), "refused as unsafe");
            continue;
        }
        if (CIni::FindKey(ini->Path, ini->Section.c_str(), ini->Key.c_str()) == 0) {
            journal::NotPresent(kIniEntry, ini->Item.c_str());
            continue;
        }
        state.Changes.DeleteIniLine(ini->Item.c_str(), ini->Path, ini->Section.c_str(), ini->Key.c_str());
    }
}
