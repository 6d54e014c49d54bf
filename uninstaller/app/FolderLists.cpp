#include "FolderLists.h"

#include <cstring>
#include <string>

namespace {

enum class List { System, Spooler };

struct FolderSource {
    int location;
    List list;
    bool ntOnly;
};

constexpr FolderSource kFolderSources[] = {
    {location::PrinterDriverDirectory, List::Spooler, false},
    {location::SystemDirectory, List::System, false},
    {location::WindowsDirectory, List::System, false},
    {location::PrintProcessorDirectory, List::Spooler, false},
    {location::ColorDirectory, List::System, false},
    {location::PrinterDriverDirectoryWin40, List::Spooler, true},
    {location::PrintProcessorDirectoryAlias, List::Spooler, true},
};

std::string Resolved(int locationId)
{
    FileSpec spec;
    spec.Resolve(locationId);
    return spec.Compose();
}

} // namespace

void FillFolderLists(RemovalState& state, DWORD settle)
{
    for (const FolderSource& source : kFolderSources) {
        ItemList& list = source.list == List::System ? state.SystemFolders : state.SpoolerFolders;
        if (!source.ntOnly || state.Platform.isNT()) {
            std::string path = Resolved(source.location);
            // Some locations answer from a cache that the platform fills a
            // moment after the first question.
            if (path.size() >= 2) {
                Sleep(settle);
                path = Resolved(source.location);
            }
            // An empty entry would make the file removal compose bare file
            // names, which the platform looks for in the current directory.
            if (!path.empty())
                list.push_back(std::move(path));
        }
        SortAndUniqueItems(list);
    }
}
