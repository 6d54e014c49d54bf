#include "UninstallProfile.h"

#include <algorithm>

void SortItems(ItemList& items)
{
    if (!std::is_sorted(items.begin(), items.end(), ItemLess))
        std::stable_sort(items.begin(), items.end(), ItemLess);
}

void UniqueItems(ItemList& items)
{
    items.erase(std::unique(items.begin(), items.end(),
                            [](const std::string& a, const std::string& b) { return text::FoldEqual(a, b); }),
                items.end());
}

void UninstallProfile::Clear() { *this = UninstallProfile{}; }

void UninstallProfile::SortAll()
{
    for (auto list : kAllLists)
        SortItems(this->*list);
}

void UninstallProfile::UniqueAll()
{
    for (auto list : kAllLists)
        UniqueItems(this->*list);
}

bool StrictlyAscending(const ItemList& items)
{
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (text::FoldCompare(items[i - 1], items[i]) >= 0)
            return false;
    }
    return true;
}

void SortAndUniqueItems(ItemList& items)
{
    if (StrictlyAscending(items))
        return;
    SortItems(items);
    UniqueItems(items);
}

namespace {

// The general case: the target's items merged with the source's as two
// sorted lists are merged (the target's first among equals), then sorted and
// freed of duplicates. An item equal to the last one kept is dropped as it
// comes; that leaves the first of every run in place, so the result is the
// same as sorting and removing duplicates afterwards.
void MergeGeneral(ItemList& ours, const ItemList& theirs)
{
    ItemList out;
    out.reserve(ours.size() + theirs.size());
    bool ordered = true;
    auto put = [&](std::string&& item) {
        if (!out.empty()) {
            const int order = text::FoldCompare(out.back(), item);
            if (order == 0)
                return;
            if (order > 0)
                ordered = false;
        }
        out.push_back(std::move(item));
    };
    auto a = ours.begin();
    auto b = theirs.begin();
    while (a != ours.end() && b != theirs.end()) {
        if (ItemLess(*b, *a))
            put(std::string(*b++));
        else
            put(std::move(*a++));
    }
    while (a != ours.end())
        put(std::move(*a++));
    while (b != theirs.end())
        put(std::string(*b++));
    if (!ordered) {
        SortItems(out);
        UniqueItems(out);
    }
    ours = std::move(out);
}

// The usual case, lists read from scripts: the target sorted without equal
// items and the source sorted. The source's new items are found by binary
// search and put in place from the back, so a long target is neither copied
// nor compared item by item beyond the order check.
void MergeList(ItemList& ours, const ItemList& theirs)
{
    if (theirs.empty() || !StrictlyAscending(ours) || !std::is_sorted(theirs.begin(), theirs.end(), ItemLess)) {
        MergeGeneral(ours, theirs);
        return;
    }
    // Where each new item goes: before ours[position].
    std::vector<std::pair<std::size_t, const std::string*>> inserts;
    auto from = ours.begin();
    const std::string* previous = nullptr;
    for (const std::string& item : theirs) {
        if (previous && text::FoldEqual(*previous, item))
            continue;
        previous = &item;
        from = std::lower_bound(from, ours.end(), item, ItemLess);
        if (from != ours.end() && text::FoldEqual(*from, item))
            continue;
        inserts.emplace_back(static_cast<std::size_t>(from - ours.begin()), &item);
    }
    if (inserts.empty())
        return;
    std::size_t write = ours.size() + inserts.size();
    std::size_t read = ours.size();
    ours.resize(write);
    for (auto it = inserts.rbegin(); it != inserts.rend(); ++it) {
        while (read > it->first)
            ours[--write] = std::move(ours[--read]);
        ours[--write] = *it->second;
    }
}

} // namespace

void UninstallProfile::Merge(const UninstallProfile& source)
{
    for (auto list : kAllLists) {
        const ItemList& theirs = source.*list;
        ItemList& ours = this->*list;
        // Merging a profile into itself: the source list is the target list.
        if (&theirs == &ours) {
            const ItemList copy = theirs;
            MergeList(ours, copy);
        } else {
            MergeList(ours, theirs);
        }
    }
}

namespace {

using ItemRefs = std::vector<const std::string*>;

// Two runs, each strictly ascending, into one; among equal items the left
// run's is kept.
ItemRefs UnionOfTwo(const ItemRefs& left, const ItemRefs& right)
{
    ItemRefs out;
    out.reserve(left.size() + right.size());
    auto a = left.begin();
    auto b = right.begin();
    while (a != left.end() && b != right.end()) {
        const int order = text::FoldCompare(**a, **b);
        if (order <= 0) {
            out.push_back(*a++);
            if (order == 0)
                ++b;
        } else {
            out.push_back(*b++);
        }
    }
    out.insert(out.end(), a, left.end());
    out.insert(out.end(), b, right.end());
    return out;
}

// Merges strictly ascending lists into one; among equal items the one of the
// earliest list is kept.
// Neighbours are merged in pairs, level by level, so every item takes part
// in about log2(lists) cheap two-way steps; items are copied once, at the end.
ItemList MergeSortedLists(const std::vector<const ItemList*>& lists)
{
    std::vector<ItemRefs> runs;
    runs.reserve(lists.size());
    for (const ItemList* list : lists) {
        ItemRefs run;
        run.reserve(list->size());
        for (const std::string& item : *list)
            run.push_back(&item);
        runs.push_back(std::move(run));
    }
    if (runs.empty())
        return {};
    while (runs.size() > 1) {
        std::vector<ItemRefs> next;
        next.reserve(runs.size() / 2 + 1);
        for (std::size_t i = 0; i < runs.size(); i += 2)
            next.push_back(i + 1 < runs.size() ? UnionOfTwo(runs[i], runs[i + 1]) : std::move(runs[i]));
        runs = std::move(next);
    }
    ItemList out;
    out.reserve(runs.front().size());
    for (const std::string* item : runs.front())
        out.push_back(*item);
    return out;
}

} // namespace

void MergeInOrder(UninstallProfile& target, const std::vector<const UninstallProfile*>& sources)
{
    for (auto member : kAllLists) {
        std::vector<const ItemList*> lists{&(target.*member)};
        for (const UninstallProfile* source : sources)
            lists.push_back(&(source->*member));
        const bool sorted = std::all_of(lists.begin(), lists.end(),
                                        [](const ItemList* list) { return StrictlyAscending(*list); });
        if (sorted) {
            target.*member = MergeSortedLists(lists);
            continue;
        }
        // Out of order or with equal items somewhere: merge one after the
        // other, as defined.
        for (const UninstallProfile* source : sources)
            MergeList(target.*member, source->*member);
    }
}

namespace {

void SubtractList(ItemList& ours, const ItemList& theirs)
{
    if (theirs.empty() || ours.empty())
        return;
    if (std::is_sorted(ours.begin(), ours.end(), ItemLess) && std::is_sorted(theirs.begin(), theirs.end(), ItemLess)) {
        // Both in order: one walk along the two lists.
        ItemList kept;
        kept.reserve(ours.size());
        auto other = theirs.begin();
        for (std::string& item : ours) {
            while (other != theirs.end() && ItemLess(*other, item))
                ++other;
            if (other == theirs.end() || !text::FoldEqual(*other, item))
                kept.push_back(std::move(item));
        }
        ours = std::move(kept);
        return;
    }
    ItemList sortedCopy;
    const ItemList* lookup = &theirs;
    if (!std::is_sorted(theirs.begin(), theirs.end(), ItemLess)) {
        sortedCopy = theirs;
        std::sort(sortedCopy.begin(), sortedCopy.end(), ItemLess);
        lookup = &sortedCopy;
    }
    ItemList kept;
    kept.reserve(ours.size());
    for (std::string& item : ours) {
        if (!std::binary_search(lookup->begin(), lookup->end(), item, ItemLess))
            kept.push_back(std::move(item));
    }
    ours = std::move(kept);
}

} // namespace

void UninstallProfile::Subtract(const UninstallProfile& source)
{
    for (auto list : kAllLists) {
        // Subtracting a profile from itself empties it.
        if (&(source.*list) == &(this->*list))
            (this->*list).clear();
        else
            SubtractList(this->*list, source.*list);
    }
}

bool AppendRegistryItem(UninstallProfile& profile, std::string_view root, std::string_view keyPath,
                        std::string_view valueName, bool deleteTree)
{
    if (keyPath.empty())
        return false;
    std::string item(root);
    item.append(",\"").append(keyPath).append("\",\"").append(valueName).append("\",").append(deleteTree ? "1" : "0");
    if (item.size() >= text::kMaxText)
        return false;
    profile.RegistryKeys.push_back(std::move(item));
    return true;
}

bool HoldsItem(const ItemList& items, std::string_view name)
{
    for (const std::string& item : items) {
        if (text::FoldEqual(item, name))
            return true;
    }
    return false;
}
