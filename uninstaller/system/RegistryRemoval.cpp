#include "RegistryRemoval.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "../common/Text.h"
#include "../script/ItemNames.h"
#include "WindowsServices.h"

namespace {

constexpr char kProgramGroupsKey[] = "SOFTWARE\\QUORVEL\\OEM_Q\\ProgramGroups";
// Entries are worked on in 256-byte copies; a longer one would be cut and
// name another key, so it is refused instead.
constexpr std::size_t kMaxEntry = 255;

// Whether the key holds a subkey this run has not taken: without the tree
// flag it can't go, and trying would only fail.
bool HoldsOtherKeys(const Door& door, HKEY root, const char* path, const std::string& item)
{
    const RegistryKey key = OpenKey(root, path, KEY_ENUMERATE_SUB_KEYS);
    if (!key)
        return false;
    for (DWORD index = 0;; ++index) {
        char name[text::kMaxText] = {};
        DWORD size = sizeof name;
        const LONG found = RegEnumKeyExA(key.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS)
            return false;
        if (found != ERROR_SUCCESS || !door.KeyGone((item + "\\" + name).c_str()))
            return true;
    }
}

// A key deleted without its tree: one that still holds others is kept.
void DeleteSingleKey(RemovalState& state, const std::string& item, HKEY root, const char* path)
{
    using journal::op::kRegistryKey;
    if (HoldsOtherKeys(state.Changes, root, path, item)) {
        journal::Kept(kRegistryKey, item.c_str(), "holds other keys");
        return;
    }
    state.Changes.DeleteRegistryKey(kRegistryKey, item.c_str(), root, path, false);
}

// The short name the journal gives the root, and its handle.
struct Root {
    const char* name;
    HKEY key;
};

const Root kRoots[] = {
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKU", HKEY_USERS},
};

const Root* RootByName(std::string_view name)
{
    for (const Root& root : kRoots) {
        if (text::FoldEqual(name, root.name))
            return &root;
    }
    return nullptr;
}

std::string_view NextField(std::string_view& rest, bool& present)
{
    const std::size_t comma = rest.find(',');
    present = comma != std::string_view::npos;
    const std::string_view field = rest.substr(0, comma);
    rest = present ? rest.substr(comma + 1) : std::string_view();
    return field;
}

// An entry as the step works on it: what it names, whether it only came in
// case, and whether a hive or shared key is among its spellings.
struct Planned {
    RegistryEntry entry;
    bool inCase = false;
    bool untouchable = false;
};

// One entry after another naming the same key or value, letter case ignored.
int Compare(const RegistryEntry& a, const RegistryEntry& b)
{
    if (a.Root != b.Root)
        return a.Root < b.Root ? -1 : 1;
    if (const int key = text::FoldCompare(a.Key, b.Key))
        return key;
    return text::FoldCompare(a.Value, b.Value);
}

// Whether the key or value is there to delete; what this run took already
// is not.
bool Present(const Door& door, const RegistryEntry& entry)
{
    if (door.KeyGone(entry.Item.c_str()))
        return false;
    if (entry.Value.empty())
        return KeyExists(entry.Root, entry.Key.c_str());
    return !door.Gone(journal::op::kRegistryValue, entry.Item.c_str()) &&
           ValueExists(entry.Root, entry.Key.c_str(), entry.Value.c_str());
}

// The service whose key (or a key below it) the path names, when it is one:
// SYSTEM\<control set>\Services\<name>.
std::optional<std::string> ServiceOfKey(const RegistryEntry& entry)
{
    if (entry.Root != HKEY_LOCAL_MACHINE)
        return std::nullopt;
    std::vector<std::string_view> parts;
    const std::string_view key = entry.Key;
    // Empty parts ("\\\\") are no keys, as the registry reads the path.
    for (std::size_t at = 0; at <= key.size() && parts.size() < 4;) {
        const std::size_t end = std::min(key.find('\\', at), key.size());
        if (end > at)
            parts.push_back(key.substr(at, end - at));
        at = end + 1;
    }
    if (parts.size() < 4 || !text::FoldEqual(parts[0], "SYSTEM") || !text::FoldEqual(parts[2], "Services") ||
        !(text::FoldEqual(parts[1], "CurrentControlSet") || text::FoldStartsWith(parts[1], "ControlSet")))
        return std::nullopt;
    return std::string(parts[3]);
}

// Why a service's key stays because the service is still installed, or
// nullptr when it is not: deleted, marked for deletion, never there.
const char* InstalledReason(const char* service)
{
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
    if (!manager)
        return "the service manager could not be asked whether it stays";
    ServiceHandle opened{OpenServiceA(manager.Get(), service, SERVICE_QUERY_STATUS)};
    if (opened)
        return "which stays installed";
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST || error == ERROR_SERVICE_MARKED_FOR_DELETE)
        return nullptr;
    // A name the service manager can't take (too long, say) names no service.
    if (error == ERROR_INVALID_NAME)
        return nullptr;
    return "the service manager could not be asked whether it stays";
}

// Every service a script of the maker lists, whichever printers it is for:
// only their keys may go.
ItemList ScriptServices(const DatabaseContent& db)
{
    ItemList services = db.BaseWorkList.Services;
    for (const UninstallProfile& profile : db.Profiles)
        services.insert(services.end(), profile.Services.begin(), profile.Services.end());
    services.insert(services.end(), db.Merged.Services.begin(), db.Merged.Services.end());
    SortAndUniqueItems(services);
    return services;
}

void Remove(RemovalState& state, const Planned& planned, const ItemList& scriptServices)
{
    const RegistryEntry& entry = planned.entry;
    // Keys the removal added in case (those of a driver it deleted, which
    // the spooler mostly takes along) are told only when they are there.
    if (planned.inCase && !Present(state.Changes, entry))
        return;
    const char* item = entry.Item.c_str();
    const char* operation = entry.Value.empty() ? journal::op::kRegistryKey : journal::op::kRegistryValue;
    // A hive, its first level or a key Windows shares with every program is
    // never touched, nor are its values, whatever a script says; nor is a
    // service's key that no script lists as a service of the maker's.
    if (planned.untouchable) {
        journal::Kept(operation, item, "a hive, its first level or a key of Windows");
        return;
    }
    if (const std::optional<std::string> service = ServiceOfKey(entry);
        service && !HoldsItem(scriptServices, service->c_str())) {
        journal::Kept(operation, item, journal::Reason("of service \"%s\", which no script lists", service->c_str()).c_str());
        return;
    }
    // Nor is the key of a service that stays: one the service step kept, or
    // one of Windows that a script lists anyway.
    if (const std::optional<std::string> service = ServiceOfKey(entry)) {
        if (!HoldsItem(state.ServicesGoing, service->c_str())) {
            if (const char* why = InstalledReason(service->c_str())) {
                journal::Kept(operation, item, journal::Reason("of service \"%s\", %s", service->c_str(), why).c_str());
                return;
            }
        }
        if (const std::optional<std::string> windows = WindowsServiceReason(state.Platform, service->c_str())) {
            journal::Kept(operation, item,
                          journal::Reason("of service \"%s\", %s", service->c_str(), windows->c_str()).c_str());
            return;
        }
    }
    if (!entry.Value.empty()) {
        // One named value goes, whatever key holds it.
        state.Changes.DeleteRegistryValue(journal::op::kRegistryValue, item, entry.Root, entry.Key.c_str(),
                                          entry.Value.c_str());
        return;
    }
    if (entry.Tree)
        state.Changes.DeleteRegistryKey(journal::op::kRegistryKey, item, entry.Root, entry.Key.c_str(), true);
    else
        DeleteSingleKey(state, entry.Item, entry.Root, entry.Key.c_str());
}

// The same key as a 32-bit program sees it on a 64-bit Windows, where the
// registry keeps that program's own apart: HKLM's SOFTWARE and the classes
// below HKCR and a user's Software\Classes. Nothing for a key both kinds
// of program share, or one named in the 32-bit view already.
std::optional<RegistryEntry> Wow64Twin(const RegistryEntry& entry)
{
    const std::string_view key = entry.Key;
    const auto below = [&](std::string_view parent) -> std::optional<std::string_view> {
        if (key.size() <= parent.size() || !text::FoldStartsWith(key, parent))
            return std::nullopt;
        return key.substr(parent.size());
    };
    std::string twin;
    if (entry.Root == HKEY_LOCAL_MACHINE) {
        if (const auto classes = below("SOFTWARE\\Classes\\"))
            twin = "SOFTWARE\\Classes\\Wow6432Node\\" + std::string(*classes);
        else if (const auto software = below("SOFTWARE\\"))
            twin = "SOFTWARE\\Wow6432Node\\" + std::string(*software);
    } else if (entry.Root == HKEY_CLASSES_ROOT) {
        twin = "Wow6432Node\\" + entry.Key;
    } else if (entry.Root == HKEY_CURRENT_USER) {
        if (const auto classes = below("Software\\Classes\\"))
            twin = "Software\\Classes\\Wow6432Node\\" + std::string(*classes);
    }
    if (twin.empty() || text::FoldStartsWith(key, "Wow6432Node") || twin.size() > kMaxEntry)
        return std::nullopt;
    for (std::size_t at = 0; (at = key.find('\\', at)) != std::string_view::npos; ++at) {
        if (text::FoldStartsWith(key.substr(at + 1), "Wow6432Node"))
            return std::nullopt;
    }
    RegistryEntry other = entry;
    other.Key = twin;
    const std::size_t rootEnd = entry.Item.find('\\');
    other.Item = entry.Item.substr(0, rootEnd) + "\\" + twin;
    if (!other.Value.empty())
        other.Item += "\\" + other.Value;
    return other;
}

// The other way: the key a 64-bit program sees for one named in the 32-bit
// view; nothing for any other key.
std::optional<RegistryEntry> NativeTwin(const RegistryEntry& entry)
{
    const std::string_view key = entry.Key;
    const auto without = [&](std::string_view parent) -> std::optional<std::string> {
        const std::string node = std::string(parent) + "Wow6432Node\\";
        if (key.size() <= node.size() || !text::FoldStartsWith(key, node))
            return std::nullopt;
        return std::string(parent) + std::string(key.substr(node.size()));
    };
    std::optional<std::string> native;
    if (entry.Root == HKEY_LOCAL_MACHINE) {
        native = without("SOFTWARE\\Classes\\");
        if (!native)
            native = without("SOFTWARE\\");
    } else if (entry.Root == HKEY_CLASSES_ROOT) {
        native = without("");
    } else if (entry.Root == HKEY_CURRENT_USER) {
        native = without("Software\\Classes\\");
    }
    if (!native)
        return std::nullopt;
    RegistryEntry other = entry;
    other.Key = *native;
    const std::size_t rootEnd = entry.Item.find('\\');
    other.Item = entry.Item.substr(0, rootEnd) + "\\" + *native;
    if (!other.Value.empty())
        other.Item += "\\" + other.Value;
    return other;
}

// The entry's line as a script would write it for the twin's key.
std::string TwinLine(const RegistryEntry& twin)
{
    const std::size_t rootEnd = twin.Item.find('\\');
    return twin.Item.substr(0, rootEnd) + ",\"" + twin.Key + "\",\"" + twin.Value + "\"," + (twin.Tree ? "1" : "0");
}

bool Untouchable(ItemNamer& namer, const std::string& entry)
{
    for (const ItemName& name : namer.Names(ItemKind::Registry, 'R', entry)) {
        if (name.untouchable)
            return true;
    }
    return false;
}

} // namespace

std::optional<RegistryEntry> ReadRegistryEntry(std::string_view line)
{
    if (line.size() > kMaxEntry)
        return std::nullopt;
    std::string_view rest = line;
    bool second = false;
    bool third = false;
    const std::string_view rootName = text::TrimAll(NextField(rest, second), '"');
    const std::string_view keyField = text::TrimAll(NextField(rest, third), '"');
    const Root* root = RootByName(rootName);
    if (!second || !third || !root)
        return std::nullopt;
    bool fourth = false;
    const std::string_view value = text::TrimAll(NextField(rest, fourth), '"');
    const std::string_view flag = NextField(rest, fourth);
    RegistryEntry entry;
    entry.Root = root->key;
    entry.Key = keyField;
    entry.Value = value;
    entry.Tree = !flag.empty() && flag.front() == '1';
    entry.Item = std::string(root->name) + "\\" + entry.Key;
    if (!entry.Value.empty())
        entry.Item += "\\" + entry.Value;
    return entry;
}

void RemoveRegistryKeys(RemovalState& state)
{
    // The program groups' key is tried in case, as the keys of a deleted
    // driver are: told only when it is there.
    RegistryEntry groups;
    groups.Root = HKEY_LOCAL_MACHINE;
    groups.Key = kProgramGroupsKey;
    groups.Item = std::string("HKLM\\") + kProgramGroupsKey;
    if (Present(state.Changes, groups))
        DeleteSingleKey(state, groups.Item, HKEY_LOCAL_MACHINE, kProgramGroupsKey);
    if (!state.Database)
        return;
    ItemList& entries = state.Database->Merged.RegistryKeys;
    SortAndUniqueItems(entries);
    ItemList inCase = state.Database->RunAdditions.RegistryKeys;
    SortAndUniqueItems(inCase);
    ItemNamer namer;
    const ItemList services = ScriptServices(*state.Database);
    std::vector<Planned> plan;
    std::optional<KeptNames> kept;
    for (const std::string& line : entries) {
        std::optional<RegistryEntry> entry = ReadRegistryEntry(line);
        if (!entry) {
            journal::Kept(journal::op::kRegistryKey, line.c_str(),
                          line.size() > kMaxEntry ? "refused as unsafe" : "not a registry entry");
            continue;
        }
        // The names this program loads other users' hives under stand for
        // whichever user it loaded there: no script may reach them so.
        if (entry->Root == HKEY_USERS && text::FoldStartsWith(entry->Key, "QrvUninst_")) {
            journal::Kept(entry->Value.empty() ? journal::op::kRegistryKey : journal::op::kRegistryValue,
                          entry->Item.c_str(), "names a hive this program loads for its run");
            continue;
        }
        const bool added = std::binary_search(inCase.begin(), inCase.end(), line, ItemLess);
        bool untouchable = Untouchable(namer, line);
        // On a 64-bit Windows the key may be there for 32-bit programs too:
        // that one goes where it is there, by the same decision, a keep in
        // either view keeping both.
        // A key named in the 32-bit view stays when its 64-bit twin is
        // needed by what stays, as the other way round.
        if (const std::optional<RegistryEntry> native = state.Platform.isNT() ? NativeTwin(*entry) : std::nullopt) {
            if (!kept)
                kept.emplace(state.Database->KeepList);
            if (kept->Protects(&UninstallProfile::RegistryKeys, TwinLine(*native))) {
                journal::Kept(entry->Value.empty() ? journal::op::kRegistryKey : journal::op::kRegistryValue,
                              entry->Item.c_str(), "its 64-bit twin is needed by what stays");
                continue;
            }
        }
        // A user's twin may be in another user's hive only: it is planned
        // for every user, and goes where it is there.
        const std::optional<RegistryEntry> twin = state.Platform.isNT() ? Wow64Twin(*entry) : std::nullopt;
        const bool twinHere = twin && KeyExists(twin->Root, twin->Key.c_str());
        if (twin && (twinHere || twin->Root == HKEY_CURRENT_USER)) {
            // What stays may name the twin, a key below it or one above
            // it, as the plan judged the entry itself.
            if (!kept)
                kept.emplace(state.Database->KeepList);
            if (kept->Protects(&UninstallProfile::RegistryKeys, TwinLine(*twin))) {
                const char* operation = entry->Value.empty() ? journal::op::kRegistryKey : journal::op::kRegistryValue;
                if (twinHere)
                    journal::Kept(operation, twin->Item.c_str(), "needed by what stays");
                journal::Kept(operation, entry->Item.c_str(), "its 32-bit twin is needed by what stays");
                continue;
            }
            untouchable = untouchable || Untouchable(namer, TwinLine(*twin));
            // Told only where it is there, as an addition in case is.
            plan.push_back({*twin, true, untouchable});
        }
        plan.push_back({std::move(*entry), added, untouchable});
    }
    // The user's keys of the scripts are every user's: the other users'
    // hives get the same entries, by the same decision, where the key is
    // there.
    if (state.Platform.isNT() && std::any_of(plan.begin(), plan.end(), [](const Planned& p) {
            return p.entry.Root == HKEY_CURRENT_USER;
        })) {
        const std::size_t planned = plan.size();
        for (const UserHive& hive : state.Users.Others()) {
            for (std::size_t i = 0; i < planned; ++i) {
                if (plan[i].entry.Root != HKEY_CURRENT_USER)
                    continue;
                Planned user = plan[i];
                user.entry.Root = HKEY_USERS;
                // A user's classes are a hive of their own, which their
                // Software\Classes stands for.
                const std::string_view key = plan[i].entry.Key;
                constexpr std::string_view kClasses = "Software\\Classes\\";
                if (!hive.ClassesKey.empty() && key.size() > kClasses.size() && text::FoldStartsWith(key, kClasses)) {
                    user.entry.Key = hive.ClassesKey + "\\" + std::string(key.substr(kClasses.size()));
                    user.entry.Item = hive.ClassesItem + "\\" + std::string(key.substr(kClasses.size()));
                } else {
                    user.entry.Key = hive.Key + "\\" + plan[i].entry.Key;
                    user.entry.Item = hive.Item + "\\" + plan[i].entry.Key;
                }
                if (!user.entry.Value.empty())
                    user.entry.Item += "\\" + user.entry.Value;
                if (KeyExists(HKEY_USERS, user.entry.Key.c_str()))
                    plan.push_back(std::move(user));
            }
        }
    }
    // Descending: a subkey before its parent, a key's values before it.
    std::stable_sort(plan.begin(), plan.end(),
                     [](const Planned& a, const Planned& b) { return Compare(a.entry, b.entry) > 0; });
    // Entries that name one key are one: with the tree flag if any has it,
    // told if any is more than an addition in case.
    for (std::size_t i = 0; i < plan.size();) {
        Planned one = plan[i];
        for (++i; i < plan.size() && Compare(plan[i].entry, one.entry) == 0; ++i) {
            one.entry.Tree = one.entry.Tree || plan[i].entry.Tree;
            one.inCase = one.inCase && plan[i].inCase;
            one.untouchable = one.untouchable || plan[i].untouchable;
        }
        Remove(state, one, services);
    }
}
