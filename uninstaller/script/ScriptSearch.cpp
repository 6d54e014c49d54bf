#include "ScriptSearch.h"

#include <windows.h>

#include "../common/Handles.h"
#include "FileSpec.h"

namespace {

void ReturnToProgramDirectory()
{
    FileSpec program;
    program.Resolve(location::ProgramFile);
    program.name[0] = program.extension[0] = '\0';
    if (program.Compose()[0] != '\0')
        SetCurrentDirectoryA(program.path);
}

// One directory of a location, or nothing when it has none.
void SearchLocation(ItemList& scripts, int locationId, const char* subdirectory = nullptr)
{
    FileSpec spec;
    spec.Resolve(locationId);
    if (subdirectory)
        spec.AppendSubdirectory(subdirectory);
    spec.name[0] = spec.extension[0] = '\0';
    SearchScripts(scripts, spec.Compose(), kUninstallScriptName);
}

} // namespace

void SearchScripts(ItemList& scripts, const char* directory, const char* fileName)
{
    if (!directory || directory[0] == '\0')
        return;
    FileSpec folder;
    folder.SetPath(directory);
    folder.name[0] = folder.extension[0] = '\0';
    // Only a directory that exists is searched: otherwise the search would
    // run in whatever directory was current and credit its files to this one.
    if (folder.Compose()[0] != '\0' && SetCurrentDirectoryA(folder.path)) {
        WIN32_FIND_DATAA found{};
        FindHandle search(FindFirstFileA(fileName, &found));
        for (bool more = static_cast<bool>(search); more; more = FindNextFileA(search.Get(), &found) != FALSE) {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            char path[text::kMaxText] = {};
            if (text::CopyWhole(path, folder.path) && text::AppendWhole(path, found.cFileName))
                scripts.push_back(path);
        }
    }
    ReturnToProgramDirectory();
}

void FindUninstallScripts(ItemList& scripts)
{
    SearchLocation(scripts, location::PrinterDriverDirectory);
    SearchLocation(scripts, location::PrinterDriverDirectory, "3");
    SearchLocation(scripts, location::ProgramDirectory);
    SearchLocation(scripts, location::SystemDirectory);
    SortItems(scripts);
    UniqueItems(scripts);
}
