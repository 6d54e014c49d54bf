#include "LoadRunEntries.h"

#include <windows.h>

#include <string>

#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/Text.h"
#include "../res/resource.h"
#include "../script/LoadLine.h"

namespace {

// Entries and the "load" line hold 255 characters at most.
constexpr std::size_t kMaxLine = 255;

// A Run key of one hive: the machine's, a user's.
struct RunKey {
    HKEY root;
    std::string path;
    // How the journal names the key.
    std::string item;
};

std::string LoadWordItem(const char* file) { return std::string("win.ini [windows] load ") + file; }

// The Run key as 32-bit programs see it on 64-bit Windows; empty when the
// path is not below SOFTWARE or names that view already.
std::string Wow64Path(const char* path)
{
    constexpr std::string_view kSoftware = "SOFTWARE\\";
    constexpr std::string_view kWow = "Wow6432Node\\";
    const std::string_view whole = path;
    if (!text::FoldStartsWith(whole, kSoftware) || text::FoldStartsWith(whole.substr(kSoftware.size()), kWow))
        return {};
    return std::string(whole.substr(0, kSoftware.size())) + std::string(kWow) + std::string(whole.substr(kSoftware.size()));
}

// A value goes only when the program it starts is the entry's: another
// program's value of the same name stays. `inCase`: a key looked at only in
// case it holds the value, which is told only when it does.
int DeleteRunValueIn(RemovalState& state, const RunKey& run, const char* display, const char* file, bool inCase)
{
    const std::string item = run.item + "\\" + display;
    const char* path = run.path.c_str();
    const RegistryText command = ReadRegistryText(run.root, path, display);
    if (command.Missing && inCase)
        return 0;
    if (!command.Missing && !command.Text) {
        journal::Kept(journal::op::kStartupEntry, item.c_str(), "its command could not be read as text");
        return 0;
    }
    if (command.Text && !CommandStartsProgram(*command.Text, file)) {
        journal::Kept(journal::op::kStartupEntry, item.c_str(),
                      journal::Reason("starts another program: %s", command.Text->c_str()).c_str());
        return 0;
    }
    // The door tells a key or value that is not there from one that went.
    return state.Changes.DeleteRegistryValue(journal::op::kStartupEntry, item.c_str(), run.root, path, display)
               ? 1
               : 0;
}

int DeleteRunValue(RemovalState& state, const char* display, const char* file)
{
    const char* path = state.Texts.GetText(IDS_RUN_KEY);
    // An empty path would open the machine's root key itself.
    if (!path || path[0] == '\0')
        return 0;
    int removed = DeleteRunValueIn(state, {HKEY_LOCAL_MACHINE, path, std::string("HKLM\\") + path}, display, file, false);
    if (!state.Platform.isNT())
        return removed;
    const std::string wow = Wow64Path(path);
    if (!wow.empty())
        removed |= DeleteRunValueIn(state, {HKEY_LOCAL_MACHINE, wow, "HKLM\\" + wow}, display, file, true);
    // A package that started its program for the user who installed it
    // wrote the value in that user's hive: every user's is looked at.
    constexpr char kUserRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    removed |= DeleteRunValueIn(state, {HKEY_CURRENT_USER, kUserRun, std::string("HKCU\\") + kUserRun}, display, file,
                                true);
    for (const UserHive& hive : state.Users.Others())
        removed |= DeleteRunValueIn(state, {HKEY_USERS, hive.Key + "\\" + kUserRun, hive.Item + "\\" + kUserRun},
                                    display, file, true);
    return removed;
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
    return state.Platform.isWin32s() ? DeleteLoadWord(state, file) : DeleteRunValue(state, display, file);
}

std::string StartupEntryItem(const PlatformKind& platform, TextCatalogue& texts, std::string_view entry)
{
    const std::optional<LoadRunEntry> parts = entry.size() > kMaxLine ? std::nullopt : SplitLoadRunEntry(entry);
    if (!parts)
        return {};
    if (platform.isWin32s())
        return LoadWordItem(parts->file.c_str());
    const char* path = texts.GetText(IDS_RUN_KEY);
    return path && path[0] != '\0' ? std::string("HKLM\\") + path + "\\" + parts->display : std::string();
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
