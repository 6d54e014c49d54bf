// Benchmark, not a test: the listed files' removal over a print server's
// driver tree, against one plain walk of the same trees.
//   files_bench [ROUNDS]
// Each round builds C:\filebench afresh: 5000 files in a driver directory
// with its version folder "3" and 20 vendor subfolders, a processor
// directory and a system folder; 300 listed names, 150 of them present.
// Prints the median of each figure in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "support/WineBed.h"
#include "door/RealDoor.h"
#include "spooler/StayingComponents.h"
#include "system/ScriptFiles.h"
#include "system/FileSweep.h"

namespace {

constexpr char kRoot[] = "C:\\filebench\\";
constexpr int kFiles = 5000;
constexpr int kListed = 300;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Touch(const std::string& path)
{
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

std::string Drivers() { return std::string(kRoot) + "drivers\\x64\\"; }

// File i of the tree: most in "3", the rest in the vendors' folders below it.
std::string TreeFile(int i)
{
    const std::string name = "file" + std::to_string(i) + ".dll";
    if (i % 5 != 0)
        return Drivers() + "3\\" + name;
    return Drivers() + "3\\vendor" + std::to_string(i % 20) + "\\" + name;
}

void BuildTree()
{
    bed::RemoveTree(kRoot);
    for (const std::string& dir : {std::string(kRoot), std::string(kRoot) + "drivers\\", Drivers(), Drivers() + "3\\",
                                  std::string(kRoot) + "prtprocs\\", std::string(kRoot) + "system32\\"})
        CreateDirectoryA(dir.c_str(), nullptr);
    for (int v = 0; v < 20; ++v)
        CreateDirectoryA((Drivers() + "3\\vendor" + std::to_string(v)).c_str(), nullptr);
    for (int i = 0; i < kFiles; ++i)
        Touch(TreeFile(i));
}

// Every second listed name is in the tree; the others are of other models.
std::vector<std::string> Listed()
{
    std::vector<std::string> names;
    for (int i = 0; i < kListed; ++i)
        names.push_back(i % 2 ? "file" + std::to_string(i * 16) + ".dll" : "absent" + std::to_string(i) + ".dll");
    return names;
}

void Setup(RemovalState& state, UninstallDatabase& database)
{
    state.Database = &database;
    state.SystemFolders = {std::string(kRoot) + "system32\\"};
    state.SpoolerFolders = {Drivers(), std::string(kRoot) + "prtprocs\\"};
    database.KeptPrinterCount = 1;
    database.Merged.Files = Listed();
    // As step 7 leaves it: which files what stays uses.
    ReadStayingDriverFiles(state);
}

int PlainWalk(const std::string& directory, unsigned depth)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((directory + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        ++count;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name[0] != '.' && depth > 0)
            count += PlainWalk(directory + name + "\\", depth - 1);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// The plain walk that also deletes what matches: the same platform calls as
// the removal's walk, without its rules.
void PlainWalkDeleting(const std::string& directory, unsigned depth, const std::vector<std::string>& lowerNames)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((directory + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name[0] != '.' && depth > 0)
                PlainWalkDeleting(directory + name + "\\", depth - 1, lowerNames);
            continue;
        }
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (std::binary_search(lowerNames.begin(), lowerNames.end(), name))
            DeleteFileA((directory + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<double> removal, plain, plainDeleting, perName;
    int walked = 0;
    int left = 0;
    for (int round = 0; round < rounds; ++round) {
        BuildTree();
        {
            RealDoor door;
            RemovalState state{door};
            UninstallDatabase database;
            Setup(state, database);
            // Both timed walks find the tree as warm as the other.
            for (const std::string& folder : state.SpoolerFolders)
                PlainWalk(folder, 2);
            const double t0 = Now();
            walked = 0;
            for (const std::string& folder : state.SpoolerFolders)
                walked += PlainWalk(folder, 2);
            plain.push_back(Now() - t0);

            const double t1 = Now();
            RemoveScriptFiles(state);
            removal.push_back(Now() - t1);
            left = PlainWalk(Drivers(), 2);
        }
        BuildTree();
        {
            std::vector<std::string> names = Listed();
            std::sort(names.begin(), names.end());
            PlainWalk(Drivers(), 2);
            const double t0 = Now();
            for (const std::string& folder : {Drivers(), std::string(kRoot) + "prtprocs\\"})
                PlainWalkDeleting(folder, 2, names);
            plainDeleting.push_back(Now() - t0);
        }
        BuildTree();
        {
            // The same names, one walk of each tree per name.
            const PlatformKind platform;
            RealDoor door;
            const std::vector<std::string> names = Listed();
            PlainWalk(Drivers(), 2);
            const double t0 = Now();
            for (const std::string& name : names)
                for (const std::string& folder : {Drivers(), std::string(kRoot) + "prtprocs\\"})
                    DeleteNamedFilesInTree(door, platform, folder.c_str(), name.c_str(), 2, false);
            perName.push_back(Now() - t0);
        }
    }
    bed::RemoveTree(kRoot);
    std::printf("tree: %d files, %d listed names, %d entries walked, %d left after removal\n", kFiles, kListed,
                walked, left);
    std::printf("plain walk of the spooler trees   %8.1f ms (median of %d)\n", Median(plain), rounds);
    std::printf("RemoveScriptFiles, one walk       %8.1f ms  (%.2fx the plain walk)\n", Median(removal),
                Median(removal) / Median(plain));
    std::printf("plain walk deleting the same files %7.1f ms  (removal %.2fx this)\n", Median(plainDeleting),
                Median(removal) / Median(plainDeleting));
    std::printf("one walk per name, for comparison %8.1f ms\n", Median(perName));
    return 0;
}
