#include "LoadRunEntries.h"

#include <windows.h>

#include "../app/RemovalOperations.h"
#include "../common/Handles.h"
#include "../res/resource.h"
#include "LoadLine.h"

namespace {

// Entries and the "load" line hold 255 characters at most.
constexpr std::size_t kMaxLine = 255;

int DeleteRunValue(RemovalState& state, const char* display)
{
    const char* path = state.Texts.GetText(IDS_RUN_KEY);
    // An empty path would open the machine's root key itself.
    if (!path || path[0] == '\0')
        return 0;
    HKEY opened = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &opened) != ERROR_SUCCESS)
        return 0;
    RegistryKey key(opened);
    return RegDeleteValueA(key.Get(), display) == ERROR_SUCCESS ? 1 : 0;
}

int DeleteLoadWord(const char* file)
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
    const auto rewritten = RemoveLoadWord(line, word);
    if (!rewritten)
        return 0;
    const BOOL written = WriteProfileStringA("windows", "load", rewritten->c_str());
    WriteProfileStringA(nullptr, nullptr, nullptr);
    return written ? 1 : 0;
}

} // namespace

int DeleteLoadRunEntry(RemovalState& state, const char* display, const char* file)
{
    if (!display || !file || display[0] == '\0' || file[0] == '\0')
        return 0;
    return state.Platform.isWin32s() ? DeleteLoadWord(file) : DeleteRunValue(state, display);
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
