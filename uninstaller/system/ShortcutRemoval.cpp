// Start-menu items and program groups of the Shortcuts list.

#include <span>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ShortcutRemoval.h"

#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/Text.h"
#include "../door/Door.h"
#include "../script/FileSpec.h"
#include "../script/PathParts.h"
#include "MachineFolders.h"
#include "Progman.h"

namespace {

// Entries are worked on in 256-byte copies; a longer one would be cut.
constexpr std::size_t kMaxEntry = 255;

struct ShortcutFolder {
    int location;
    bool inGroup;
};

constexpr ShortcutFolder kProgramFolders[] = {
    {location::Programs, true},
    {location::CommonPrograms, true},
};

constexpr ShortcutFolder kStartupFolders[] = {
    {location::Programs, true},      {location::CommonPrograms, true}, {location::Startup, false},
    {location::AltStartup, false},   {location::CommonStartup, false}, {location::CommonAltStartup, false},
};

struct ShortcutEntry {
    std::string_view group;
    std::string_view item;
    std::string_view marker;
    bool hasItem = false;
};

ShortcutEntry Split(std::string_view entry)
{
    ShortcutEntry parts;
    const std::size_t first = entry.find(',');
    parts.group = entry.substr(0, first);
    if (first == std::string_view::npos)
        return parts;
    const std::size_t second = entry.find(',', first + 1);
    parts.item = entry.substr(first + 1, second == std::string_view::npos ? second : second - first - 1);
    parts.hasItem = !parts.item.empty();
    if (second != std::string_view::npos)
        parts.marker = entry.substr(second + 1);
    return parts;
}

// A path part made of dots and spaces alone: "..", or a spelling Windows
// reads as "..", or the folder itself.
bool IsDotsOnly(std::string_view part)
{
    return !part.empty() && part.find_first_not_of(". ") == std::string_view::npos;
}

// The group stays inside the shortcut folders: no drive or stream colon, no
// root, no step up. Inner backslashes ("Maker\Tools") are subfolders.
bool IsSafeGroup(std::string_view group)
{
    // A "~" may make a short 8.3 name, which can name another folder.
    if (group.front() == '\\' || group.front() == '/' || group.find('~') != std::string_view::npos)
        return false;
    bool safe = true;
    std::size_t start = 0;
    text::ForEachChar(group, text::IsLeadByte, [&](std::size_t i) {
        if (group[i] == ':')
            safe = false;
        if (group[i] == '\\' || group[i] == '/') {
            safe = safe && !IsDotsOnly(group.substr(start, i - start));
            start = i + 1;
        }
    });
    return safe && !IsDotsOnly(group.substr(start));
}

// A folder shortcuts are looked for in: the group is its subfolder, or,
// for the Startup folders, the folder itself holds the items.
struct BaseFolder {
    std::string path;
    bool inGroup;
};

constexpr char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// A user's shell folder as their hive names it, its variables expanded as
// that user's (their profile, and their AppData folders, which the same key
// names); empty, with `why`, when it can't be read so, or lies outside the
// user's profile or passes a link there: a user may name any folder of the
// machine in their own hive.
std::string UsersShellFolder(const UserHive& hive, const char* name, std::string& why)
{
    const std::string key = hive.Key + "\\" + kUserShellFolders;
    const RegistryText value = ReadRegistryText(HKEY_USERS, key.c_str(), name);
    if (!value.Text || hive.Profile.empty()) {
        why = hive.Profile.empty() ? "the user's profile folder could not be read" : "their hive names no such folder";
        return {};
    }
    std::string path = *value.Text;
    const std::pair<std::string_view, const char*> kVariables[] = {
        {"%USERPROFILE%", nullptr}, {"%APPDATA%", "AppData"}, {"%LOCALAPPDATA%", "Local AppData"}};
    // Each variable once: AppData itself names %USERPROFILE%.
    for (int round = 0; round < 3 && path.find('%') != std::string::npos; ++round) {
        for (const auto& [variable, source] : kVariables) {
            if (!text::FoldStartsWith(path, variable))
                continue;
            std::string replacement = hive.Profile;
            if (source) {
                const RegistryText named = ReadRegistryText(HKEY_USERS, key.c_str(), source);
                replacement = named.Text ? *named.Text : std::string();
            }
            path = replacement + path.substr(variable.size());
        }
    }
    char full[text::kMaxText] = {};
    const DWORD length = path.find('%') == std::string::npos && IsFullPath(path.c_str())
                             ? GetFullPathNameA(path.c_str(), sizeof full, full, nullptr)
                             : 0;
    if (length == 0 || length >= sizeof full) {
        why = journal::Reason("their hive names it as \"%s\", which can't be read as theirs", value.Text->c_str());
        return {};
    }
    path = full;
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    const std::string profile = hive.Profile + "\\";
    if (path.size() <= profile.size() || !text::FoldStartsWith(path, profile)) {
        why = journal::Reason("their hive names \"%s\", outside their profile", path.c_str());
        return {};
    }
    // Each folder from the profile down, the last one too.
    for (std::size_t at = path.find('\\', profile.size());; at = path.find('\\', at + 1)) {
        const std::string part = path.substr(0, at);
        const DWORD attributes = GetFileAttributesA(part.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            why = journal::Reason("\"%s\" on its way is a link", part.c_str());
            return {};
        }
        if (at == std::string::npos)
            break;
    }
    return path;
}

// The folders shortcuts are looked for in: for an item, the groups of the
// Programs folders; for a Startup item, the Startup folders too.
struct ShortcutBases {
    std::vector<BaseFolder> programs;
    std::vector<BaseFolder> startup;
};

// The folders of the current user and all users, and on the NT family the
// Programs and Startup folders of every other user whose hive could be
// reached. A user's folder that can't be used keeps what is in it, and the
// log says why, once.
ShortcutBases ReadBases(RemovalState& state)
{
    ShortcutBases bases;
    for (const auto& [sources, into] :
         {std::pair{std::span<const ShortcutFolder>(kProgramFolders), &bases.programs},
          std::pair{std::span<const ShortcutFolder>(kStartupFolders), &bases.startup}}) {
        for (const ShortcutFolder& source : sources) {
            FileSpec spec;
            spec.Resolve(source.location);
            into->push_back({spec.Compose(), source.inGroup});
        }
    }
    if (!state.Platform.isNT())
        return bases;
    for (const UserHive& hive : state.Users.Others()) {
        for (const char* name : {"Programs", "Startup"}) {
            std::string why;
            std::string folder = UsersShellFolder(hive, name, why);
            if (folder.empty()) {
                journal::Kept(journal::op::kShortcut, (hive.Item + "\\" + kUserShellFolders + "\\" + name).c_str(),
                              journal::Reason("the user's shortcuts there stay: %s", why.c_str()).c_str());
            } else if (std::strcmp(name, "Programs") == 0) {
                bases.programs.push_back({folder, true});
                bases.startup.push_back({std::move(folder), true});
            } else {
                bases.startup.push_back({std::move(folder), false});
            }
        }
    }
    return bases;
}

// The base folder, with the group as its subfolder when the base says so;
// false when the base resolves to nothing here or it would not fit.
bool ComposeFolder(const BaseFolder& source, std::string_view group, char (&folder)[text::kMaxText])
{
    // An empty location would leave "<group>\<item>", a name in whatever
    // the current directory is.
    if (!text::CopyWhole(folder, source.path) || !IsFullPath(folder))
        return false;
    if (!source.inGroup)
        return text::EndsWithSeparator(folder, text::IsLeadByte) || text::AppendWhole(folder, "\\");
    if (!text::EndsWithSeparator(folder, text::IsLeadByte) && !text::AppendWhole(folder, "\\"))
        return false;
    return text::AppendWhole(folder, group) &&
           (text::EndsWithSeparator(folder, text::IsLeadByte) || text::AppendWhole(folder, "\\"));
}

bool GroupFolderExists(const std::vector<BaseFolder>& bases, const std::string& group)
{
    for (const BaseFolder& source : bases) {
        char folder[text::kMaxText] = {};
        if (!ComposeFolder(source, group, folder))
            continue;
        const DWORD attributes = GetFileAttributesA(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
    }
    return false;
}

// On the NT family a program group is its folders: the listed items went
// first, and a folder goes only when nothing else is left in it. Program
// Manager's DeleteGroup would take a user's own files along. A group that
// resolves to a shell folder (the Startup group, whatever its name in this
// language) or above one stays.
void RemoveGroupFolders(RemovalState& state, const std::vector<BaseFolder>& bases, const std::string& group)
{
    const MachineFolders machine;
    for (const BaseFolder& source : bases) {
        char folder[text::kMaxText] = {};
        if (!ComposeFolder(source, group, folder))
            continue;
        const DWORD attributes = GetFileAttributesA(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        // As written and as the folder really is; one whose real path
        // can't be read may be a link to anywhere.
        std::string refusal = machine.SweepRefusal(folder);
        if (refusal.empty()) {
            const std::string real = MachineFolders::RealPath(folder);
            refusal = real.empty() ? std::string("its real path could not be read") : machine.SweepRefusal(real);
        }
        if (!refusal.empty()) {
            journal::Kept(journal::op::kProgramGroup, folder, refusal.c_str());
            continue;
        }
        state.Changes.RemoveFolder(folder, WhenNotEmpty::Kept);
    }
}

// Only the item's name and extension, and both as one: a directory part
// would lead out of the folder.
bool ItemFileName(std::string_view item, PathParts& named, char (&whole)[text::kMaxText])
{
    named.Split(item, text::IsLeadByte);
    return named.name[0] != '\0' && text::CopyWhole(whole, named.name) && text::AppendWhole(whole, named.extension) &&
           !IsDotsOnly(whole) && std::string_view(whole).find('~') == std::string_view::npos;
}

// True when a file of the item was found there.
bool DeleteInFolder(RemovalState& state, const char* folder, const PathParts& item)
{
    bool found = false;
    for (const char* extension : {static_cast<const char*>(item.extension), ".LNK", ".PIF"}) {
        char path[text::kMaxText] = {};
        // Shortcuts never ask for a restart: what can't go now goes then or stays.
        if (text::CopyWhole(path, folder) && text::AppendWhole(path, item.name) && text::AppendWhole(path, extension))
            found = state.Changes.DeleteOrScheduleFile(journal::op::kShortcut, state.Platform, path) !=
                        FileFate::NotThere ||
                    found;
    }
    return found;
}

void RemoveEntry(RemovalState& state, const ShortcutBases& bases, const std::string& entry, bool bareGroups)
{
    using journal::op::kShortcut;
    if (entry.size() > kMaxEntry) {
        if (bareGroups)
            journal::Kept(kShortcut, entry.c_str(), "refused as unsafe");
        return;
    }
    const ShortcutEntry parts = Split(entry);
    if (parts.hasItem == bareGroups)
        return;
    const std::string group(text::TrimAll(parts.group, '"'));
    if (group.empty() || !IsSafeGroup(group)) {
        journal::Kept(parts.hasItem ? kShortcut : journal::op::kProgramGroup, entry.c_str(), "refused as unsafe");
        return;
    }
    if (!parts.hasItem) {
        // Outside Win32s a program group is a folder of the user's or the
        // common Programs folder: with neither there, there is no group.
        if (!state.Platform.isWin32s() && !GroupFolderExists(bases.programs, group)) {
            journal::NotPresent(journal::op::kProgramGroup, group.c_str());
            return;
        }
        if (state.Platform.isNT()) {
            RemoveGroupFolders(state, bases.programs, group);
            return;
        }
        ProgmanDeleteGroup(state.Changes, group.c_str());
        return;
    }
    const std::string item(text::TrimAll(parts.item, '"'));
    if (state.Platform.isWin32s()) {
        ProgmanDeleteItem(state.Changes, group.c_str(), item.c_str());
        return;
    }
    PathParts named;
    char whole[text::kMaxText] = {};
    if (!ItemFileName(item, named, whole)) {
        journal::Kept(kShortcut, entry.c_str(), "refused as unsafe");
        return;
    }
    const bool startup = text::FoldEqual(text::TrimAll(parts.marker, '"'), "STARTUP");
    bool found = false;
    for (const BaseFolder& source : startup ? bases.startup : bases.programs) {
        char folder[text::kMaxText] = {};
        if (ComposeFolder(source, group, folder))
            found = DeleteInFolder(state, folder, named) || found;
    }
    // One line for a shortcut found in none of its folders.
    if (!found)
        journal::NotPresent(kShortcut, (group + "\\" + whole).c_str());
}

} // namespace

std::string ShortcutItem(std::string_view entry, const char*& operation)
{
    operation = journal::op::kShortcut;
    if (entry.size() > kMaxEntry)
        return {};
    const ShortcutEntry parts = Split(entry);
    const std::string group(text::TrimAll(parts.group, '"'));
    if (group.empty() || !IsSafeGroup(group))
        return {};
    if (!parts.hasItem) {
        operation = journal::op::kProgramGroup;
        return group;
    }
    PathParts named;
    char whole[text::kMaxText] = {};
    if (!ItemFileName(text::TrimAll(parts.item, '"'), named, whole))
        return {};
    return group + "\\" + whole;
}

void RemoveShortcuts(RemovalState& state)
{
    if (!state.Database)
        return;
    ItemList& entries = state.Database->Merged.Shortcuts;
    SortAndUniqueItems(entries);
    if (entries.empty())
        return;
    const ShortcutBases bases = ReadBases(state);
    // Every item before any group: descending order alone puts "G,Item"
    // before "G", but a quoted "\"G\",Item" after it.
    for (const bool bareGroups : {false, true})
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
            RemoveEntry(state, bases, *entry, bareGroups);
}
