#include "LoadRunEntries.h"

#include <windows.h>

#include <string>

#include "../common/Journal.h"
#include "../common/Text.h"
#include "../res/resource.h"
#include "LoadLine.h"

namespace {

// Entries and the "load" line hold 255 characters at most.
constexpr std::size_t kMaxLine = 255;

std::string RunValueItem(const char* runKey, const char* display)
{
    return std::string("HKLM\\") + runKey + "\\" + display;
}

std::string LoadWordItem(const char* file) { return std::string("win.ini [windows] load ") + file; }

int DeleteRunValue(RemovalState& state, const char* display)
{
    const char* path = state.Texts.GetText(IDS_RUN_KEY);
    // An empty path would open the machine's root key itself.
    if (!path || path[0] == '\0')
        return 0;
    const std::string item = RunValueItem(path, display);
    // The door tells a key or value that is not there from one that went.
    return state.Changes.DeleteRegistryValue(journal::op::kStartupEntry, item.c_str(), HKEY_LOCAL_MACHINE, path,
                                             display)
               ? 1
               : 0;
}

int DeleteLoadWord(RemovalState& state, const char* file)
{
    // One byte more than the line may hold tells a full line from a cut one:
    // writing back a cut line would drop the programs past the cut.
    char line[kMaxLine + 2] = {};
    char word[kMaxLine + 1] = {};
    if (!text::CopyWhole(word, file))
        return 0;
    WriteProfileStringA(nullptr, nullptr, nullptr);
    if (GetProfileStringA("windows", "Load", "", line, sizeof line) > kMaxLine)
        return 0;
    CharLowerA(line);
    CharLowerA(word);
    const std::string item = LoadWordItem(file);
    const auto rewritten = RemoveLoadWord(line, word);
    if (!rewritten) {
        journal::NotPresent(journal::op::kStartupEntry, item.c_str());
        return 0;
    }
    return state.Changes.WriteProfileLine(journal::op::kStartupEntry, item.c_str(), "windows", "load",
                                          rewritten->c_str(), true)
               ? 1
               : 0;
}

} // namespace

int DeleteLoadRunEntry(RemovalState& state, const char* display, const char* file)
{
    if (!display || !file || display[0] == '\0' || file[0] == '\0')
        return 0;
    return state.Platform.isWin32s() ? DeleteLoadWord(state, file) : DeleteRunValue(state, display);
}

std::string StartupEntryItem(const PlatformKind& platform, TextCatalogue& texts, std::string_view entry)
{
    const std::optional<LoadRunEntry> parts = entry.size() > kMaxLine ? std::nullopt : SplitLoadRunEntry(entry);
    if (!parts)
        return {};
    if (platform.isWin32s())
        return LoadWordItem(parts->file.c_str());
    const char* path = texts.GetText(IDS_RUN_KEY);
    return path && path[0] != '\0' ? RunValueItem(path, parts->display.c_str()) : std::string();
}

void DeleteLoadRunEntries(RemovalState& state)
{
    if (!state.Database)
        return;
    for (const std::string& item : state.Database->Merged.DeleteLoadRun) {
        if (item.size() > kMaxLine)
            continue;
        if (const auto entry = SplitLoadRunEntry(item))
            DeleteLoadRunEntry(state, entry->display.c_str(), entry->file.c_str());
    }
}
