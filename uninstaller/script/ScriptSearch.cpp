#include "ScriptSearch.h"

#include <windows.h>

#include <string_view>

#include "../common/AnsiLeadByte.h"
#include "../common/Handles.h"
#include "FileSpec.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "X:\..." or "\\server\...". A relative path would be searched wherever
// the elevated program happens to stand, where anyone may have put a script.
bool IsFullDirectory(std::string_view path)
{
    const char letter = path.empty() ? '\0' : text::FoldAscii(path[0]);
    if (path.size() >= 3 && letter >= 'a' && letter <= 'z' && path[1] == ':' && IsSeparator(path[2]))
        return true;
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1]))
        return false;
    const std::string_view rest = path.substr(2);
    const std::size_t end = rest.find_first_of("\\/");
    const std::string_view server = rest.substr(0, end);
    // "\\.\" and "\\?\" name devices and raw paths, not servers.
    return !server.empty() && server != "." && server != "?";
}

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
    if (!directory || !IsFullDirectory(directory))
        return;
    // The text names a directory, trailing backslash or not: without one its
    // last part would be taken for a file name and the parent searched.
    char whole[text::kMaxText] = {};
    if (!text::CopyWhole(whole, directory) ||
        (!text::EndsWithSeparator(whole, AnsiLeadByte) && !text::AppendWhole(whole, "\\")))
        return;
    FileSpec folder;
    folder.SetPath(whole);
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
