#pragma once
// What an item of a profile list names, read as the removal step of that list
// reads it: a file by its name, a registry item by root, key and value, a
// directory by its path, a shortcut by group and item. Two items that could
// take away the same thing get the same name, so that what a printer which
// stays still needs is found whatever the script's spelling. When in doubt
// two items count as the same: that keeps more, never less.
// Pure logic, no platform calls.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "UninstallProfile.h"

// How the items of one list are read.
enum class ItemKind {
    Whole,        // one name: print processors, monitors, services, drivers
    File,         // the file name before the first "="
    Registry,     // root, key, value name, delete-tree flag
    Directory,    // a path
    Shortcut,     // program group, item, folder set
    IniEntry,     // INI file, section, key
    StartupEntry, // display name, file name
    Hook,         // library, export
};

ItemKind KindOf(ItemList UninstallProfile::* list);

struct ItemName {
    std::string_view text;
    // Removing this name takes everything below it too (a registry key, a
    // directory, a program group).
    bool subtree = false;
    // A name the item needs without removing it: the key that holds a
    // registry value.
    bool neededOnly = false;
    // Removing it would take a whole hive, the driver directory, the
    // start-up folder, or a file the name can't tell (a short 8.3 name):
    // never removed, whatever the scripts say.
    bool untouchable = false;
};

// Turns items into their names; one object is reused for many items.
class ItemNamer {
public:
    // The names of `item` read as `kind`, each led by `tag` so that lists
    // never share a name. Valid until the next call.
    const std::vector<ItemName>& Names(ItemKind kind, char tag, std::string_view item);

private:
    void Add(ItemKind kind, char tag, std::string_view item);
    void AddRegistry(char tag, std::string_view item);
    void AddShortcut(char tag, std::string_view item);
    std::string& Start(char tag);
    void Finish(bool subtree, bool neededOnly = false, bool untouchable = false);

    // Enough for the most names one item has: a registry value under HKCR
    // or HKU (two keys, each with its value), twice for an item the removal
    // reads cut to 255 characters.
    static constexpr std::size_t kMostNames = 8;
    std::string texts_[kMostNames];
    std::size_t used_ = 0;
    std::vector<ItemName> names_;
};

// Separates the parts of a path inside a name; sorts before every byte of a
// text, so a name's descendants follow it directly.
inline constexpr char kNameSeparator = '\x01';

// A set of names: open addressing over one block of text.
class NameSet {
public:
    void Insert(std::string_view name);
    bool Contains(std::string_view name) const;
    std::size_t Size() const { return count_; }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t offset = kEmpty;
        std::uint32_t length = 0;
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    std::size_t Find(std::string_view name, std::uint64_t hash) const;
    void Grow();

    std::string text_;
    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// The names of everything a keep list holds, and the question the build asks
// of every candidate item: would removing it take away something kept?
//
// Most items are plain: their one name is their text, folded. Those are
// looked up in the keep list itself, which is in item order, so the build
// costs little more than a walk along two sorted lists; only the other
// items go through their names.
class KeptNames {
public:
    explicit KeptNames(const UninstallProfile& keep);

    // True when what removing `item` takes and what a kept item would take
    // meet: the same name, a key, directory or group holding a kept name
    // below it, or a name below a kept key, directory or group. Also true
    // for what is never removed.
    bool Protects(ItemList UninstallProfile::* list, std::string_view item);
    // The same, for the list at `index` of kAllLists read as `kind`.
    bool Protects(std::size_t index, ItemKind kind, std::string_view item);

private:
    // A kept list in item order, for the plain look-ups: the list itself
    // when it is in order, else a sorted view of it.
    struct PlainItems {
        const ItemList* list = nullptr;
        std::vector<const std::string*> sorted;
        std::size_t cursor = 0; // where the last look-up ended
        std::size_t Size() const { return list ? list->size() : sorted.size(); }
        const std::string& At(std::size_t i) const { return list ? (*list)[i] : *sorted[i]; }
    };
    bool HasPlain(PlainItems& plain, std::string_view folded);
    // Whether `name` is the name of a plain kept item of the list.
    bool MatchesPlain(std::size_t index, char mark, std::string_view name);

    PlainItems plain_[std::size(kAllLists)];
    std::size_t otherNames_[std::size(kAllLists)] = {};
    NameSet kept_;      // the names of the kept items that are not plain
    NameSet holdsKept_; // every key, directory and group above such a name
    NameSet keptTrees_; // the kept keys, directories and groups themselves
    ItemNamer namer_;
};

// True when the item's only name is its own text, folded, after the tag and
// the kind's mark: nothing for most lists, a separator for a directory or
// group of one component, 'd' for a start-up entry of a display name alone.
bool IsPlainItem(ItemKind kind, std::string_view item);
char PlainMark(ItemKind kind);

// The tag of the list at `index` of kAllLists.
constexpr char ListTag(std::size_t index) { return static_cast<char>('A' + index); }
std::size_t ListIndex(ItemList UninstallProfile::* list);
