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

void UninstallProfile::Merge(const UninstallProfile& source)
{
    // Lists are kept sorted, so this is one linear merge per list; the sort
    // after it only works when a list came in out of order.
    for (auto list : kAllLists) {
        const ItemList& theirs = source.*list;
        ItemList& ours = this->*list;
        if (theirs.empty()) {
            SortItems(ours);
            UniqueItems(ours);
            continue;
        }
        ItemList merged;
        merged.reserve(ours.size() + theirs.size());
        std::merge(ours.begin(), ours.end(), theirs.begin(), theirs.end(), std::back_inserter(merged), ItemLess);
        SortItems(merged);
        UniqueItems(merged);
        ours = std::move(merged);
    }
}

void UninstallProfile::Subtract(const UninstallProfile& source)
{
    for (auto list : kAllLists) {
        const ItemList& theirs = source.*list;
        ItemList& ours = this->*list;
        if (theirs.empty() || ours.empty())
            continue;
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
