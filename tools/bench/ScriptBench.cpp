// Benchmark, not a test: reads 200 generated uninstall scripts of 5 profiles
// with 20 items in each category, then merges every profile into one.
//   script_bench [DIRECTORY]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "script/UninstallDatabase.h"

namespace {

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

std::string Script(int script)
{
    std::string text = "[UnPrinterDrivers]\r\n";
    for (int p = 0; p < 5; ++p)
        text += "\"QUORVEL Model " + std::to_string(script * 5 + p) + "\",S" + std::to_string(script) + "P" +
                std::to_string(p) + "," + std::to_string(p) + "\r\n";
    for (int p = 0; p < 5; ++p) {
        for (const ProfileCategory& category : kProfileCategories) {
            text += "[S" + std::to_string(script) + "P" + std::to_string(p) + "." + category.suffix + "]\r\n";
            for (int i = 0; i < 20; ++i) {
                // Half the items are shared by every script, as common files are.
                const int id = (i % 2) ? i : script * 100 + p * 20 + i;
                text += std::string(category.suffix) + "_item_" + std::to_string(id) + ".dat\r\n";
            }
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = argc > 1 ? argv[1] : std::string(temp);
    constexpr int kScripts = 200;

    for (int s = 0; s < kScripts; ++s) {
        const std::string path = dir + "bench" + std::to_string(s) + ".unm";
        FILE* f = std::fopen(path.c_str(), "wb");
        const std::string text = Script(s);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    UninstallDatabase db;
    const double t0 = Now();
    for (int s = 0; s < kScripts; ++s)
        ReadScript(db, (dir + "bench" + std::to_string(s) + ".unm").c_str());
    const double t1 = Now();
    // Every profile merged into one, one after the other.
    UninstallProfile all;
    for (const UninstallProfile& p : db.Profiles)
        all.Merge(p);
    const double t2 = Now();

    // The same in pairs, as a balanced tree: the earlier profile stays on the
    // left, so the first spelling of an item still wins.
    std::vector<UninstallProfile> level(db.Profiles.begin(), db.Profiles.end());
    const double t3 = Now();
    while (level.size() > 1) {
        std::vector<UninstallProfile> next;
        for (std::size_t i = 0; i < level.size(); i += 2) {
            if (i + 1 < level.size())
                level[i].Merge(level[i + 1]);
            next.push_back(std::move(level[i]));
        }
        level = std::move(next);
    }
    const double t4 = Now();

    std::size_t items = 0;
    bool same = true;
    for (auto list : kAllLists) {
        items += (all.*list).size();
        same = same && (all.*list) == (level.front().*list);
    }
    std::printf("scripts read: %d, profiles: %zu, read time: %.1f ms\n", kScripts, db.Profiles.size(), t1 - t0);
    std::printf("merged one after the other: %zu items, %.1f ms\n", items, t2 - t1);
    std::printf("merged in pairs: %.1f ms, same result: %s\n", t4 - t3, same ? "yes" : "NO");

    for (int s = 0; s < kScripts; ++s)
        DeleteFileA((dir + "bench" + std::to_string(s) + ".unm").c_str());
    return 0;
}
