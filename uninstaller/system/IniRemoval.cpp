#include "IniRemoval.h"

#include <string>

#include "../common/Text.h"
#include "../script/FileSpec.h"
#include "../script/Ini.h"
#include "../script/PathParts.h"
#include "../common/Journal.h"

namespace {

// A longer entry would be cut to another file, section or key.
constexpr std::size_t kMaxEntry = 255;

bool WindowsDirectory(const RemovalState& state, char (&out)[text::kMaxText])
{
    if (state.WindowsDirectory[0] != '\0')
        return text::CopyWhole(out, state.WindowsDirectory);
    FileSpec windows;
    windows.Resolve(location::WindowsDirectory);
    return text::CopyWhole(out, windows.Compose()) && out[0] != '\0';
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

void RemoveIniEntries(RemovalState& state)
{
    char windows[text::kMaxText] = {};
    if (!state.Database || !WindowsDirectory(state, windows))
        return;
    using journal::op::kIniEntry;
    for (const std::string& entry : state.Database->Merged.DeleteIni) {
        IniEntryParts parts;
        if (entry.size() > kMaxEntry || !SplitIniEntry(entry, parts)) {
            journal::Kept(kIniEntry, entry.c_str(), "refused as unsafe");
            continue;
        }
        // Only the name and extension count: the file is always the
        // Windows directory's.
        PathParts named;
        named.Split(parts.file, text::IsLeadByte);
        if (named.name[0] == '\0') {
            journal::Kept(kIniEntry, entry.c_str(), "refused as unsafe");
            continue;
        }
        PathParts target;
        char path[text::kMaxText] = {};
        if (!text::CopyWhole(target.directory, windows) || !text::CopyWhole(target.name, named.name) ||
            !text::CopyWhole(target.extension, named.extension) || !ComposePath(target, path, text::IsLeadByte) ||
            path[0] == '\0') {
            journal::Kept(kIniEntry, entry.c_str(), "refused as unsafe");
            continue;
        }
        const std::string section(parts.section);
        const std::string key(parts.key);
        const std::string item = std::string(path) + " [" + section + "] " + key;
        if (CIni::FindKey(path, section.c_str(), key.c_str()) == 0) {
            journal::NotPresent(kIniEntry, item.c_str());
            continue;
        }
        state.Changes.DeleteIniLine(item.c_str(), path, section.c_str(), key.c_str());
    }
}
