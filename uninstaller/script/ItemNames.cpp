#include "ItemNames.h"

#include <algorithm>
#include <array>
#include <span>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks and double quotes off both ends, in any number and mix: the removal
// steps strip quotes, and a name with a blank more is the same thing to us.
std::string_view Clean(std::string_view s)
{
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '"'))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '"'))
        s.remove_suffix(1);
    return s;
}

// Calls visit(offset, length) for every character: two bytes for a
// double-byte character, whose second byte may look like '\\' or a letter.
template <typename Visit>
void Characters(std::string_view s, Visit visit)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = text::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
        visit(i, length);
        i += length;
    }
}

void AppendFolded(std::string& out, std::string_view s)
{
    Characters(s, [&](std::size_t i, std::size_t length) {
        if (length == 1)
            out.push_back(text::FoldAscii(s[i]));
        else
            out.append(s.data() + i, 2);
    });
}

bool IsSeparator(std::string_view s, std::size_t i, std::size_t length)
{
    return length == 1 && (s[i] == '\\' || s[i] == '/');
}

// The text after the last '\\' or '/': the name and extension of a path.
std::string_view LastComponent(std::string_view s)
{
    const std::size_t separator = text::LastSeparator(s, text::IsLeadByte);
    return separator == std::string_view::npos ? s : s.substr(separator + 1);
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Windows drops dots and blanks at the end of a file or directory name:
// "a.dll." is "a.dll". Neither byte is ever the second of a double-byte
// character.
std::string_view TrimNameEnd(std::string_view s)
{
    while (!s.empty() && (s.back() == '.' || IsBlank(s.back())))
        s.remove_suffix(1);
    return TrimBlanks(s);
}

// The path's components, folded, each after a separator. Empty components,
// blanks around them and dots at their ends don't count: a path with doubled
// or trailing separators names the same key or directory as without them.
void AppendPath(std::string& out, std::string_view path)
{
    std::size_t begin = 0;
    auto component = [&](std::size_t end) {
        const std::string_view part = TrimNameEnd(path.substr(begin, end - begin));
        if (!part.empty()) {
            out.push_back(kNameSeparator);
            AppendFolded(out, part);
        }
    };
    Characters(path, [&](std::size_t i, std::size_t length) {
        if (IsSeparator(path, i, length)) {
            component(i);
            begin = i + 1;
        }
    });
    component(path.size());
}

// A file name as the file system takes it: no directory, no drive ("C:a.dll"
// is a.dll of the current directory), no dots or blanks at its end.
std::string_view FileName(std::string_view s)
{
    s = Clean(LastComponent(Clean(s)));
    if (s.size() >= 2 && s[1] == ':')
        s.remove_prefix(2);
    return TrimNameEnd(s);
}

// "~" and a digit: perhaps the short 8.3 name of a longer one.
bool MaybeShortName(std::string_view s)
{
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '~' && s[i + 1] >= '0' && s[i + 1] <= '9')
            return true;
    }
    return false;
}

// The removal steps of these lists work on a copy of at most 255 characters.
constexpr std::size_t kWorkingCopy = 255;

// The first 255 bytes, not ending inside a double-byte character.
std::string_view WorkingCopy(std::string_view s)
{
    std::size_t end = 0;
    Characters(s, [&](std::size_t i, std::size_t length) {
        if (i + length <= kWorkingCopy)
            end = i + length;
    });
    return s.substr(0, end);
}

// The start-up folder, as a program group: Programs\Startup.
bool IsStartupGroup(std::string_view folded)
{
    const std::size_t last = folded.rfind(kNameSeparator);
    const std::string_view name = last == std::string_view::npos ? folded : folded.substr(last + 1);
    // "スタートアップ" in code page 932.
    return name == "startup" || name == "\x83\x58\x83\x5e\x81\x5b\x83\x67\x83\x41\x83\x62\x83\x76";
}

// The text up to the next comma, and the rest after it.
std::string_view NextField(std::string_view& rest)
{
    const std::size_t comma = rest.find(',');
    const std::string_view field = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    return field;
}

std::size_t Commas(std::string_view s)
{
    std::size_t n = 0;
    for (char c : s)
        n += c == ',' ? 1 : 0;
    return n;
}

std::string_view ShortRoot(std::string_view folded)
{
    if (folded == "hkey_local_machine")
        return "hklm";
    if (folded == "hkey_classes_root")
        return "hkcr";
    if (folded == "hkey_current_user")
        return "hkcu";
    if (folded == "hkey_users")
        return "hku";
    return folded;
}

} // namespace

ItemKind KindOf(ItemList UninstallProfile::* list)
{
    if (list == &UninstallProfile::Files)
        return ItemKind::File;
    if (list == &UninstallProfile::RegistryKeys)
        return ItemKind::Registry;
    if (list == &UninstallProfile::Directorys)
        return ItemKind::Directory;
    if (list == &UninstallProfile::Shortcuts)
        return ItemKind::Shortcut;
    if (list == &UninstallProfile::DeleteIni)
        return ItemKind::IniEntry;
    if (list == &UninstallProfile::DeleteLoadRun)
        return ItemKind::StartupEntry;
    if (list == &UninstallProfile::Hooks)
        return ItemKind::Hook;
    return ItemKind::Whole;
}

std::size_t ListIndex(ItemList UninstallProfile::* list)
{
    for (std::size_t i = 0; i < std::size(kAllLists); ++i) {
        if (kAllLists[i] == list)
            return i;
    }
    return 0;
}

std::string& ItemNamer::Start(char tag)
{
    // Never more names than kMostNames; the last slot is reused rather than
    // overrun should that ever change.
    std::string& out = texts_[used_ < kMostNames ? used_ : kMostNames - 1];
    out.clear();
    out.push_back(tag);
    return out;
}

void ItemNamer::Finish(bool subtree, bool neededOnly, bool untouchable)
{
    if (used_ >= kMostNames) {
        names_.back().untouchable = true; // a name lost: keep the item
        return;
    }
    names_.push_back({texts_[used_], subtree, neededOnly, untouchable});
    ++used_;
}

const std::vector<ItemName>& ItemNamer::Names(ItemKind kind, char tag, std::string_view item)
{
    names_.clear();
    used_ = 0;
    Add(kind, tag, item);
    // The removal of these lists reads the item cut to its working copy:
    // then it names that too.
    const bool cut = kind == ItemKind::Registry || kind == ItemKind::Shortcut || kind == ItemKind::IniEntry ||
                     kind == ItemKind::StartupEntry || kind == ItemKind::Hook;
    if (cut && item.size() > kWorkingCopy)
        Add(kind, tag, WorkingCopy(item));
    return names_;
}

void ItemNamer::Add(ItemKind kind, char tag, std::string_view item)
{
    auto whole = [&] {
        AppendFolded(Start(tag), Clean(item));
        Finish(false);
    };

    switch (kind) {
    case ItemKind::Whole:
        whole();
        break;
    case ItemKind::File: {
        const std::string_view name = FileName(item.substr(0, item.find('=')));
        AppendFolded(Start(tag), name);
        Finish(false, false, MaybeShortName(name));
        break;
    }
    case ItemKind::Hook: {
        std::string_view rest = item;
        AppendFolded(Start(tag), FileName(NextField(rest)));
        Finish(false);
        break;
    }
    case ItemKind::Directory: {
        std::string& name = Start(tag);
        AppendPath(name, Clean(item));
        // No directory at all is the driver directory itself.
        Finish(true, false, name.size() == 1);
        break;
    }
    case ItemKind::Registry:
        AddRegistry(tag, item);
        break;
    case ItemKind::Shortcut:
        AddShortcut(tag, item);
        break;
    case ItemKind::IniEntry: {
        std::string_view rest = item;
        const std::string_view file = FileName(NextField(rest));
        const std::string_view section = Clean(NextField(rest));
        const std::string_view key = Clean(NextField(rest));
        if (file.empty() || section.empty() || key.empty()) {
            whole();
            break;
        }
        std::string& name = Start(tag);
        AppendFolded(name, file);
        name.push_back('\x03');
        AppendFolded(name, section);
        name.push_back('\x03');
        AppendFolded(name, key);
        Finish(false);
        break;
    }
    case ItemKind::StartupEntry: {
        std::string_view rest = item;
        const std::string_view display = Clean(NextField(rest));
        const std::string_view file = FileName(rest);
        if (display.empty() && file.empty()) {
            whole();
            break;
        }
        // Either part alone is something a staying entry may need: the Run
        // value by its display name, the "load" word by its file.
        if (!display.empty()) {
            std::string& name = Start(tag);
            name.push_back('d');
            AppendFolded(name, display);
            Finish(false);
        }
        if (!file.empty()) {
            std::string& name = Start(tag);
            name.push_back('f');
            AppendFolded(name, file);
            Finish(false);
        }
        break;
    }
    }
}

namespace {

// Monitors and print processors that come with Windows.
constexpr std::string_view kBuiltInMonitors[] = {"local port",      "standard tcp/ip port", "usb monitor",
                                                 "wsd port",        "appmon",               "lpr port",
                                                 "ipp port",        "pjl language monitor",
                                                 "microsoft shared fax monitor"};
constexpr std::string_view kBuiltInProcessors[] = {"winprint"};
// Classes every file, folder and program type shares.
constexpr std::string_view kSharedClasses[] = {
    "*",       "allfilesystemobjects", "directory", "folder",  "drive",   "unknown",  "systemfileassociations",
    "exefile", "dllfile",              "lnkfile",   "batfile", "cmdfile", "comfile",  "txtfile",
    "mime",    "protocols",            "applications", "network", "printers", "http", "https",
};

bool OneOf(std::string_view name, std::span<const std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A key whose removal would break Windows or every program whatever a script
// says. By path (folded, CurrentControlSet as "controlset"):
//  - a hive, its first level (SOFTWARE, SYSTEM, a user's identifier) and,
//    for a user, that user's first level; everything outside SOFTWARE and
//    SYSTEM (HARDWARE, a user's Control Panel, Printers, Environment, ...);
//  - SYSTEM: a control set and its first level, the device tree (Enum) with
//    everything below it, the control keys two levels down, the spooler's
//    environments with their lists and driver versions, the built-in
//    monitors and print processors, the spooler's service;
//  - SOFTWARE (of the machine, of a user, and their 32-bit views): its
//    Microsoft, Classes, Policies and Wow6432Node keys; everything below
//    Microsoft but a product's own Uninstall and App Paths entries; every
//    key directly below Classes (HKCR's CLSID, Interface, "*", ".txt", ...).
// The keys of one service are decided by the removal, which knows the
// services the scripts list.
bool IsSystemKey(std::string_view path)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t end = std::min(path.find(kNameSeparator, at), path.size());
        parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    const std::string_view root = parts[0];
    const std::size_t depth = parts.size() - 1;
    if (depth == 0 || (root != "hku" && depth == 1) || (root == "hku" && depth <= 2))
        return true;
    const auto part = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string_view(); };
    if (root == "hklm" && parts[1] == "system") {
        if (depth <= 3 || parts[3] == "enum")
            return true;
        // The control set's own keys: its control keys two levels down (the
        // device classes, the spooler's lists), the spooler's environments
        // with their driver and processor lists and driver versions, and
        // the spooler's service. Below them are the keys of one monitor,
        // printer, driver or processor, which a script may name.
        if (parts[3] == "control") {
            if (depth <= 5)
                return true;
            // A "/" in a key's name reads as a separator here: "Standard
            // TCP/IP Port" is two parts.
            if (parts[4] == "print" && parts[5] == "monitors")
                return OneOf(parts[6], kBuiltInMonitors) ||
                       (depth >= 7 && OneOf(std::string(parts[6]) + "/" + std::string(parts[7]), kBuiltInMonitors));
            if (parts[4] == "print" && parts[5] == "environments") {
                if (depth <= 7 || (depth == 8 && parts[7] == "drivers" && parts[8].starts_with("version-")))
                    return true;
                return parts[7] == "print processors" && OneOf(parts[8], kBuiltInProcessors);
            }
            return false;
        }
        return parts[3] == "services" && depth == 4 && parts[4] == "spooler";
    }
    std::size_t software = root == "hku" ? 2 : 1; // below the user's identifier
    // Outside SOFTWARE and SYSTEM a hive holds only Windows' own: the
    // machine's HARDWARE, SAM and SECURITY, a user's Control Panel,
    // Keyboard Layout, Printers, Environment and the like. A program's keys
    // are below SOFTWARE.
    if (part(software) != "software")
        return true;
    if (depth == software + 1)
        return OneOf(parts[software + 1], std::array<std::string_view, 5>{"microsoft", "classes", "policies",
                                                                          "wow6432node", "clients"});
    // The 32-bit view is read as the other.
    if (parts[software + 1] == "wow6432node") {
        ++software;
        if (depth == software + 1)
            return parts[software + 1] == "microsoft" || parts[software + 1] == "classes";
    }
    const std::string_view below = parts[software + 1];
    // Policies and the registered clients (mail, browser) are Windows' and
    // the administrator's, whatever lies below.
    if (below == "policies" || below == "clients")
        return true;
    if (below == "classes") {
        std::size_t classes = software + 1;
        // HKCR's 32-bit view is read as the other.
        if (part(classes + 1) == "wow6432node") {
            if (depth == classes + 1)
                return true;
            ++classes;
        }
        if (depth == classes + 1)
            return true;
        // What every file, folder or type shares: its verbs and shell
        // extensions are everyone's.
        const std::string_view type = parts[classes + 1];
        return type.starts_with(".") || OneOf(type, kSharedClasses);
    }
    if (below != "microsoft")
        return false;
    // A product's own entries below Microsoft: its uninstall entry and its
    // program's path, each with what is below it.
    const std::size_t entry = software + 5; // SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<entry>
    const bool productEntry = depth >= entry && part(software + 2) == "windows" &&
                              part(software + 3) == "currentversion" &&
                              (part(software + 4) == "uninstall" || part(software + 4) == "app paths");
    return !productEntry;
}

} // namespace

void ItemNamer::AddRegistry(char tag, std::string_view item)
{
    if (Commas(item) < 2) {
        AppendFolded(Start(tag), Clean(item)); // no removal step reads it
        Finish(false);
        return;
    }
    std::string_view rest = item;
    std::string root;
    AppendFolded(root, Clean(NextField(rest)));
    const std::string_view key = Clean(NextField(rest));
    const std::string_view value = Clean(NextField(rest));
    const std::string_view shortRoot = ShortRoot(root);

    // The same key may be reached from two roots: HKCR shows the classes of
    // the machine and of the user, and HKU holds every user's HKCU under the
    // user's identifier.
    std::string paths[2];
    std::size_t count = 1;
    bool wholeRoot = false;
    if (shortRoot == "hkcr") {
        paths[0] = "hklm\x01software\x01" "classes";
        paths[1] = "hkcu\x01software\x01" "classes";
        AppendPath(paths[0], key);
        AppendPath(paths[1], key);
        wholeRoot = paths[0].size() == std::string_view("hklm\x01software\x01" "classes").size();
        count = 2;
    } else {
        paths[0] = shortRoot;
        AppendPath(paths[0], key);
        if (shortRoot == "hku") {
            const std::size_t user = paths[0].find(kNameSeparator);
            const std::size_t below = user == std::string::npos ? user : paths[0].find(kNameSeparator, user + 1);
            paths[1] = "hkcu";
            if (below != std::string::npos)
                paths[1].append(paths[0], below);
            count = 2;
        }
    }
    // CurrentControlSet is one of the numbered control sets.
    constexpr std::string_view system = "hklm\x01system\x01";
    for (std::string& path : paths) {
        if (!path.starts_with(system))
            continue;
        const std::size_t end = std::min(path.find(kNameSeparator, system.size()), path.size());
        const std::string_view set = std::string_view(path).substr(system.size(), end - system.size());
        const bool numbered = set.size() == 13 && set.starts_with("controlset") &&
                              std::all_of(set.begin() + 10, set.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (numbered || set == "currentcontrolset")
            path.replace(system.size(), set.size(), "controlset");
    }

    for (std::size_t r = 0; r < count; ++r) {
        std::string& keyName = Start(tag);
        keyName.append(paths[r]);
        if (value.empty()) {
            Finish(true, false, wholeRoot || IsSystemKey(paths[r]));
            continue;
        }
        // The value, and the key that must stay to hold it. A value of a
        // key Windows keeps is Windows' too.
        const bool systemKey = IsSystemKey(paths[r]);
        Finish(false, true);
        std::string& valueName = Start(tag);
        valueName = texts_[used_ - 1];
        valueName.push_back('\x02');
        AppendFolded(valueName, value);
        Finish(false, false, systemKey);
    }
}

void ItemNamer::AddShortcut(char tag, std::string_view item)
{
    std::string_view rest = item;
    const std::string_view group = Clean(NextField(rest));
    const std::string_view entry = Clean(NextField(rest));
    std::string marker;
    AppendFolded(marker, Clean(rest));
    if (group.empty()) {
        AppendFolded(Start(tag), Clean(item)); // no removal step reads it
        Finish(false);
        return;
    }
    std::string& name = Start(tag);
    AppendPath(name, group);
    const bool startupGroup = IsStartupGroup(std::string_view(name).substr(1));
    if (entry.empty()) {
        // The whole program group; the start-up folder is everyone's.
        Finish(true, false, startupGroup);
        return;
    }
    // The item is deleted as itself, ".LNK" and ".PIF": its name without
    // the extension is what it takes.
    std::string_view base = LastComponent(entry);
    if (const std::size_t dot = base.rfind('.'); dot != std::string_view::npos)
        base = base.substr(0, dot);
    base = TrimNameEnd(Clean(base));
    name.push_back(kNameSeparator);
    AppendFolded(name, base);
    Finish(false);
    // Marked STARTUP it is also sought in the start-up folders, whatever
    // its group; and the Startup group is that folder.
    if (marker != "startup" && !startupGroup)
        return;
    std::string& startup = Start(tag);
    startup.push_back('\x04');
    startup.push_back(kNameSeparator);
    AppendFolded(startup, base);
    Finish(false);
}

namespace {

std::uint64_t Hash(std::string_view s)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

} // namespace

std::size_t NameSet::Find(std::string_view name, std::uint64_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.offset == kEmpty)
            return i;
        if (slot.hash == hash && slot.length == name.size() &&
            std::memcmp(text_.data() + slot.offset, name.data(), name.size()) == 0)
            return i;
    }
}

void NameSet::Grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.offset == kEmpty)
            continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].offset != kEmpty)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void NameSet::Insert(std::string_view name)
{
    if ((count_ + 1) * 2 > slots_.size())
        Grow();
    const std::uint64_t hash = Hash(name);
    Slot& slot = slots_[Find(name, hash)];
    if (slot.offset != kEmpty)
        return;
    slot.hash = hash;
    slot.offset = static_cast<std::uint32_t>(text_.size());
    slot.length = static_cast<std::uint32_t>(name.size());
    text_.append(name);
    ++count_;
}

bool NameSet::Contains(std::string_view name) const
{
    if (count_ == 0)
        return false;
    return slots_[Find(name, Hash(name))].offset != kEmpty;
}

namespace {

enum : unsigned char { kEquals = 1, kSeparator = 2, kComma = 4, kFileSystem = 8 };

struct SpecialBytes {
    unsigned char of[256] = {};
    constexpr SpecialBytes()
    {
        of[static_cast<unsigned char>('=')] = kEquals;
        of[static_cast<unsigned char>('\\')] = kSeparator;
        of[static_cast<unsigned char>('/')] = kSeparator;
        of[static_cast<unsigned char>(',')] = kComma;
        // A drive and a short name change what a file name names.
        of[static_cast<unsigned char>(':')] = kFileSystem;
        of[static_cast<unsigned char>('~')] = kFileSystem;
    }
};
constexpr SpecialBytes kSpecial;

// True when no byte of `item` is of the kinds in `mask`; a trail byte that
// looks like one only makes an item look less plain than it is.
bool NoneOf(std::string_view item, unsigned char mask)
{
    for (char c : item) {
        if (kSpecial.of[static_cast<unsigned char>(c)] & mask)
            return false;
    }
    return true;
}

} // namespace

char PlainMark(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Directory:
    case ItemKind::Shortcut:
        return kNameSeparator; // one path component: a directory, a group
    case ItemKind::StartupEntry:
        return 'd'; // a display name alone
    default:
        return 0;
    }
}

bool IsPlainItem(ItemKind kind, std::string_view item)
{
    if (item.empty() || IsBlank(item.front()) || item.front() == '"' || IsBlank(item.back()) || item.back() == '"')
        return false;
    switch (kind) {
    case ItemKind::Whole:
        return true;
    case ItemKind::File:
        return item.back() != '.' && NoneOf(item, kEquals | kSeparator | kFileSystem);
    case ItemKind::Hook:
        return item.back() != '.' && NoneOf(item, kComma | kSeparator | kFileSystem);
    case ItemKind::Registry:
    case ItemKind::IniEntry:
        return Commas(item) < 2; // read whole: no removal step takes it
    case ItemKind::Directory:
        return item.back() != '.' && NoneOf(item, kSeparator);
    case ItemKind::Shortcut: {
        if (item.back() == '.' || !NoneOf(item, kComma | kSeparator))
            return false;
        std::string folded;
        AppendFolded(folded, item);
        return !IsStartupGroup(folded);
    }
    case ItemKind::StartupEntry:
        return NoneOf(item, kComma);
    }
    return false;
}

KeptNames::KeptNames(const UninstallProfile& keep)
{
    for (std::size_t index = 0; index < std::size(kAllLists); ++index) {
        const ItemKind kind = KindOf(kAllLists[index]);
        const ItemList& items = keep.*kAllLists[index];
        bool ordered = true;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string& item = items[i];
            if (i > 0 && ordered)
                ordered = text::FoldCompare(items[i - 1], item) < 0;
            if (IsPlainItem(kind, item))
                continue;
            for (const ItemName& name : namer_.Names(kind, ListTag(index), item)) {
                kept_.Insert(name.text);
                if (name.subtree)
                    keptTrees_.Insert(name.text);
                ++otherNames_[index];
                // Every key, directory or group above it holds it.
                for (std::size_t at = name.text.size(); at-- > 1;) {
                    if (name.text[at] == kNameSeparator)
                        holdsKept_.Insert(name.text.substr(0, at));
                }
            }
        }
        // A plain item can only equal a plain one, so the whole list serves.
        PlainItems& plain = plain_[index];
        if (ordered) {
            plain.list = &items;
            continue;
        }
        for (const std::string& item : items)
            plain.sorted.push_back(&item);
        std::stable_sort(plain.sorted.begin(), plain.sorted.end(),
                         [](const std::string* a, const std::string* b) { return ItemLess(*a, *b); });
    }
}

bool KeptNames::HasPlain(PlainItems& plain, std::string_view folded)
{
    const std::size_t size = plain.Size();
    auto order = [&](std::size_t i) { return text::FoldCompare(plain.At(i), folded); };
    // Candidates come in item order: search onwards from the last place,
    // one step, then in growing strides, and from the start only when the
    // order broke.
    std::size_t from = plain.cursor;
    if (from > size || (from > 0 && order(from - 1) >= 0))
        from = 0;
    std::size_t to = from;
    int last = 1; // the order of `to`, when it was compared
    for (std::size_t stride = 1; to < size && (last = order(to)) < 0; stride *= 2) {
        from = to + 1;
        to = std::min(size, from + stride - 1);
        last = 1;
    }
    // Now the answer lies in [from, to]: before `from` all are less, and
    // `to` is the end or not less.
    if (from == to) {
        plain.cursor = from;
        return from < size && last == 0;
    }
    while (from < to) {
        const std::size_t middle = from + (to - from) / 2;
        if (order(middle) < 0)
            from = middle + 1;
        else
            to = middle;
    }
    plain.cursor = from;
    return from < size && text::FoldEqual(plain.At(from), folded);
}

bool KeptNames::MatchesPlain(std::size_t index, char mark, std::string_view name)
{
    std::string_view text = name.substr(1);
    if (mark != 0) {
        if (text.empty() || text.front() != mark)
            return false;
        text.remove_prefix(1);
        // A plain directory or group is a single component.
        if (mark == kNameSeparator && text.find(kNameSeparator) != std::string_view::npos)
            return false;
    }
    return !text.empty() && HasPlain(plain_[index], text);
}

bool KeptNames::Protects(std::size_t index, ItemKind kind, std::string_view item)
{
    if (IsPlainItem(kind, item)) {
        if (HasPlain(plain_[index], item))
            return true;
        if (otherNames_[index] == 0)
            return false;
    }
    const char mark = PlainMark(kind);
    for (const ItemName& name : namer_.Names(kind, ListTag(index), item)) {
        if (name.neededOnly)
            continue;
        if (name.untouchable || kept_.Contains(name.text) || (name.subtree && holdsKept_.Contains(name.text)) ||
            MatchesPlain(index, mark, name.text))
            return true;
        // Below a kept key, directory or group: the staying item would take
        // this away with it, so it counts as its own.
        for (std::size_t at = 1; at < name.text.size(); ++at) {
            if (name.text[at] != kNameSeparator && name.text[at] != '\x02')
                continue;
            const std::string_view above = name.text.substr(0, at);
            if (keptTrees_.Contains(above) || MatchesPlain(index, mark, above))
                return true;
        }
    }
    return false;
}

bool KeptNames::Protects(ItemList UninstallProfile::* list, std::string_view item)
{
    return Protects(ListIndex(list), KindOf(list), item);
}
