#include "FolderLists.h"

#include <cstring>
#include <iterator>
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
    // Some locations answer from a cache that the platform fills a moment
    // after the first question: each is asked, then, after one pause for
    // all, asked again. Every location still gets the whole pause.
    std::string paths[std::size(kFolderSources)];
    bool askAgain = false;
    for (std::size_t i = 0; i < std::size(kFolderSources); ++i) {
        const FolderSource& source = kFolderSources[i];
        if (!source.ntOnly || state.Platform.isNT()) {
            paths[i] = Resolved(source.location);
            askAgain = askAgain || paths[i].size() >= 2;
        }
    }
    if (askAgain)
        Sleep(settle);
    for (std::size_t i = 0; i < std::size(kFolderSources); ++i) {
        const FolderSource& source = kFolderSources[i];
        ItemList& list = source.list == List::System ? state.SystemFolders : state.SpoolerFolders;
        std::string& path = paths[i];
        if (path.size() >= 2)
            path = Resolved(source.location);
        // An empty entry would make the file removal compose bare file
        // names, which the platform looks for in the current directory.
        if (!path.empty())
            list.push_back(std::move(path));
        SortAndUniqueItems(list);
    }
    // A 64-bit Windows keeps the 32-bit system files apart: a package's
    // 32-bit utilities put theirs there.
    char wow64[text::kMaxText] = {};
    const UINT length = state.Platform.isNT() ? GetSystemWow64DirectoryA(wow64, sizeof wow64 - 1) : 0;
    if (length > 0 && length < sizeof wow64 - 1) {
        std::string folder(wow64, length);
        if (folder.back() != '\\')
            folder.push_back('\\');
        state.SystemFolders.push_back(std::move(folder));
        SortAndUniqueItems(state.SystemFolders);
    }
}
