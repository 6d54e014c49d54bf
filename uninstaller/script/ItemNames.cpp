#include "ItemNames.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsLead(unsigned char c) { return text::detail::leadBytes.lead[c]; }

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
        const std::size_t length = IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
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
    std::size_t start = 0;
    Characters(s, [&](std::size_t i, std::size_t length) {
        if (IsSeparator(s, i, length))
            start = i + 1;
    });
    return s.substr(start);
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The path's components, folded, each after a separator. Empty components
// and blanks around them don't count: a path with doubled or trailing
// separators names the same key or directory as without them.
void AppendPath(std::string& out, std::string_view path)
{
    std::size_t begin = 0;
    auto component = [&](std::size_t end) {
        const std::string_view part = TrimBlanks(path.substr(begin, end - begin));
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
    std::string& out = texts_[used_];
    out.clear();
    out.push_back(tag);
    return out;
}

void ItemNamer::Finish(bool subtree, bool neededOnly)
{
    names_.push_back({texts_[used_], subtree, neededOnly});
    ++used_;
}

const std::vector<ItemName>& ItemNamer::Names(ItemKind kind, char tag, std::string_view item)
{
    names_.clear();
    used_ = 0;
    auto whole = [&] {
        AppendFolded(Start(tag), Clean(item));
        Finish(false);
    };

    switch (kind) {
    case ItemKind::Whole:
        whole();
        break;
    case ItemKind::File:
        AppendFolded(Start(tag), Clean(LastComponent(Clean(item.substr(0, item.find('='))))));
        Finish(false);
        break;
    case ItemKind::Hook: {
        std::string_view rest = item;
        AppendFolded(Start(tag), Clean(LastComponent(Clean(NextField(rest)))));
        Finish(false);
        break;
    }
    case ItemKind::Directory:
        AppendPath(Start(tag), Clean(item));
        Finish(true);
        break;
    case ItemKind::Registry: {
        if (Commas(item) < 2) {
            whole(); // no removal step reads it
            break;
        }
        std::string_view rest = item;
        std::string root;
        AppendFolded(root, Clean(NextField(rest)));
        const std::string_view key = Clean(NextField(rest));
        const std::string_view value = Clean(NextField(rest));
        const std::string_view shortRoot = ShortRoot(root);
        // HKCR is a view of the classes of the machine and of the user.
        const bool classes = shortRoot == "hkcr";
        const std::string_view roots[2] = {classes ? "hklm\x01software\x01" "classes" : shortRoot,
                                           "hkcu\x01software\x01" "classes"};
        for (std::size_t r = 0; r < (classes ? 2u : 1u); ++r) {
            const std::string_view base = roots[r];
            std::string& keyName = Start(tag);
            keyName.append(base);
            AppendPath(keyName, key);
            if (value.empty()) {
                Finish(true);
                continue;
            }
            // The value, and the key that must stay to hold it.
            Finish(false, true);
            std::string& valueName = Start(tag);
            valueName = texts_[used_ - 1];
            valueName.push_back('\x02');
            AppendFolded(valueName, value);
            Finish(false);
        }
        break;
    }
    case ItemKind::Shortcut: {
        std::string_view rest = item;
        const std::string_view group = Clean(NextField(rest));
        const std::string_view entry = Clean(NextField(rest));
        const std::string_view marker = Clean(rest);
        if (group.empty()) {
            whole();
            break;
        }
        std::string& name = Start(tag);
        AppendPath(name, group);
        if (entry.empty()) {
            Finish(true); // the whole program group
            break;
        }
        // The item is deleted as itself, ".LNK" and ".PIF": its name without
        // the extension is what it takes.
        std::string_view base = LastComponent(entry);
        if (const std::size_t dot = base.rfind('.'); dot != std::string_view::npos)
            base = base.substr(0, dot);
        base = Clean(base);
        name.push_back(kNameSeparator);
        AppendFolded(name, base);
        Finish(false);
        std::string folded;
        AppendFolded(folded, marker);
        if (folded == "startup") {
            // Also sought in the start-up folders, whatever the group.
            std::string& startup = Start(tag);
            startup.push_back('\x04');
            startup.push_back(kNameSeparator);
            AppendFolded(startup, base);
            Finish(false);
        }
        break;
    }
    case ItemKind::IniEntry: {
        std::string_view rest = item;
        const std::string_view file = Clean(LastComponent(Clean(NextField(rest))));
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
        const std::string_view file = Clean(LastComponent(Clean(rest)));
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
    return names_;
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

enum : unsigned char { kEquals = 1, kSeparator = 2, kComma = 4 };

struct SpecialBytes {
    unsigned char of[256] = {};
    constexpr SpecialBytes()
    {
        of[static_cast<unsigned char>('=')] = kEquals;
        of[static_cast<unsigned char>('\\')] = kSeparator;
        of[static_cast<unsigned char>('/')] = kSeparator;
        of[static_cast<unsigned char>(',')] = kComma;
    }
};
constexpr SpecialBytes kSpecial;

// True when no byte of `item` is of the kinds in `mask`; a trail byte that
// looks like '\\' only makes an item look less plain than it is.
bool NoneOf(std::string_view item, unsigned char mask)
{
    for (char c : item) {
        if (kSpecial.of[static_cast<unsigned char>(c)] & mask)
            return false;
    }
    return true;
}

} // namespace

bool IsPlainItem(ItemKind kind, std::string_view item)
{
    if (item.empty() || IsBlank(item.front()) || item.front() == '"' || IsBlank(item.back()) || item.back() == '"')
        return false;
    switch (kind) {
    case ItemKind::Whole:
        return true;
    case ItemKind::File:
        return NoneOf(item, kEquals | kSeparator);
    case ItemKind::Hook:
        return NoneOf(item, kComma | kSeparator);
    case ItemKind::Registry:
    case ItemKind::IniEntry:
        return Commas(item) < 2; // read whole: no removal step takes it
    default:
        return false;
    }
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
    auto less = [&](std::size_t i) { return text::FoldCompare(plain.At(i), folded) < 0; };
    // Candidates come in item order: search onwards from the last place,
    // one step, then in growing strides, and from the start only when the
    // order broke.
    std::size_t from = plain.cursor;
    if (from > size || (from > 0 && !less(from - 1)))
        from = 0;
    std::size_t to = from;
    for (std::size_t stride = 1; to < size && less(to); stride *= 2) {
        from = to + 1;
        to = std::min(size, from + stride - 1);
    }
    // Now the answer lies in [from, to]: before `from` all are less, and
    // `to` is the end or not less.
    while (from < to) {
        const std::size_t middle = from + (to - from) / 2;
        if (less(middle))
            from = middle + 1;
        else
            to = middle;
    }
    plain.cursor = from;
    return from < size && text::FoldEqual(plain.At(from), folded);
}

bool KeptNames::Protects(std::size_t index, ItemKind kind, std::string_view item)
{
    if (IsPlainItem(kind, item)) {
        if (HasPlain(plain_[index], item))
            return true;
        if (otherNames_[index] == 0)
            return false;
    }
    for (const ItemName& name : namer_.Names(kind, ListTag(index), item)) {
        if (name.neededOnly)
            continue;
        if (kept_.Contains(name.text) || (name.subtree && holdsKept_.Contains(name.text)) ||
            HasPlain(plain_[index], name.text.substr(1)))
            return true;
    }
    return false;
}

bool KeptNames::Protects(ItemList UninstallProfile::* list, std::string_view item)
{
    return Protects(ListIndex(list), KindOf(list), item);
}
