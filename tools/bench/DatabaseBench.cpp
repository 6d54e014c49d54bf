// Benchmark, not a test: BuildDatabase on 1000 printers and 1000 profiles
// with N items in each category (20, then 200), half of the printers staying.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/AnsiLeadByte.h"
#include "script/DatabaseBuild.h"

namespace {

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

DatabaseContent Machine(int itemsPerCategory)
{
    DatabaseContent db;
    for (int p = 0; p < 1000; ++p) {
        UninstallProfile profile;
        const std::string name = "QUORVEL Model " + std::to_string(10000 + p);
        text::CopyWhole(profile.Name, name);
        text::CopyWhole(profile.ScriptPath, "C:\\windows\\system32\\spool\\drivers\\x64\\Xrmv___Q.unm");
        for (const ProfileCategory& category : kProfileCategories) {
            ItemList& items = profile.*category.list;
            for (int i = 0; i < itemsPerCategory; ++i) {
                // Half the items are shared by every profile, as common files are.
                const int id = (i % 2) ? i : p * itemsPerCategory + i;
                items.push_back(std::string(category.suffix) + "_item_" + std::to_string(id) + ".dat");
            }
            SortItems(items);
            UniqueItems(items);
        }
        profile.Drivers = {name};
        db.Profiles.push_back(std::move(profile));
    }
    for (int i = 0; i < 1000; ++i) {
        CActivePrinter printer;
        text::CopyWhole(printer.PrinterName, "Printer " + std::to_string(i));
        text::CopyWhole(printer.DriverName, "QUORVEL Model " + std::to_string(10000 + (i * 7) % 1000));
        printer.IsMakerDriver = 1;
        printer.Skip = i % 2;
        db.Printers.push_back(printer);
    }
    FillBaseWorkList(db, db.BaseWorkList);
    return db;
}

} // namespace

int main()
{
    UseAnsiCodePage();
    for (int items : {20, 200}) {
        DatabaseContent db = Machine(items);
        double best = 1e300;
        for (int run = 0; run < 3; ++run) {
            const double t0 = Now();
            BuildDatabase(db, false);
            best = std::min(best, Now() - t0);
        }
        {
            const double c0 = Now();
            UninstallProfile copy = db.BaseWorkList;
            const double c1 = Now();
            copy.Subtract(db.KeepList);
            const double c2 = Now();
            std::printf("  copy of the base work list %.1f ms, subtract %.1f ms\n", c1 - c0, c2 - c1);
        }
        std::size_t merged = 0;
        for (auto list : kAllLists)
            merged += (db.Merged.*list).size();
        std::printf("1000 printers, 1000 profiles, %d items a category: BuildDatabase %.1f ms (best of 3), "
                    "kept %u, merged items %zu\n",
                    items, best, db.KeptPrinterCount, merged);
    }
    return 0;
}
