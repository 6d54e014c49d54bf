#include "UninstallProfile.h"

#include <algorithm>
#include <queue>

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

namespace {

bool StrictlyAscending(const ItemList& items)
{
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (text::FoldCompare(items[i - 1], items[i]) >= 0)
            return false;
    }
    return true;
}

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

// Merges sorted lists into one sorted list without equal items; among equal
// items the one of the earliest list (and within it the first) is kept.
ItemList MergeSortedLists(const std::vector<const ItemList*>& lists)
{
    struct Head {
        const std::string* item;
        std::size_t list;
        std::size_t index;
    };
    auto later = [](const Head& a, const Head& b) {
        const int order = text::FoldCompare(*a.item, *b.item);
        if (order != 0)
            return order > 0;
        return a.list != b.list ? a.list > b.list : a.index > b.index;
    };
    std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
    std::size_t total = 0;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        total += lists[i]->size();
        if (!lists[i]->empty())
            heads.push({&lists[i]->front(), i, 0});
    }
    ItemList out;
    out.reserve(total);
    while (!heads.empty()) {
        const Head head = heads.top();
        heads.pop();
        if (out.empty() || !text::FoldEqual(out.back(), *head.item))
            out.push_back(*head.item);
        const ItemList& list = *lists[head.list];
        if (head.index + 1 < list.size())
            heads.push({&list[head.index + 1], head.list, head.index + 1});
    }
    return out;
}

} // namespace

void MergeInOrder(UninstallProfile& target, const std::vector<const UninstallProfile*>& sources)
{
    for (auto member : kAllLists) {
        std::vector<const ItemList*> lists{&(target.*member)};
        for (const UninstallProfile* source : sources)
            lists.push_back(&(source->*member));
        const bool sorted = std::all_of(lists.begin(), lists.end(), [](const ItemList* list) {
            return std::is_sorted(list->begin(), list->end(), ItemLess);
        });
        if (sorted) {
            target.*member = MergeSortedLists(lists);
            continue;
        }
        // Out of order somewhere: merge one after the other, as defined.
        for (const UninstallProfile* source : sources)
            MergeList(target.*member, source->*member);
    }
}

void UninstallProfile::Subtract(const UninstallProfile& source)
{
    for (auto list : kAllLists) {
        const ItemList& theirs = source.*list;
        ItemList& ours = this->*list;
        if (theirs.empty() || ours.empty())
            continue;
        if (std::is_sorted(ours.begin(), ours.end(), ItemLess) &&
            std::is_sorted(theirs.begin(), theirs.end(), ItemLess)) {
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
            continue;
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
