// scale_bench: how the unattended removal grows with the number of queues.
// For each size N (10, 100 and 500 unless given as arguments) it prepares N
// queues on FILE:, half on the driver that goes and half on one that stays,
// runs the QUIET removal in-process as the unattended run does, phase by
// phase, and then times the bare spooler calls the same work needs on the
// same machine. With --backup it also times each quiet run with /BACKUP into
// a fresh folder, against the same run without. Run it in a throwaway bed:
//   tools/wine-bed.sh up /tmp/scalebed build/bin build/tests/bin
//   tools/wine-run.sh /tmp/scalebed build/tests/bin/scale_bench.exe
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/AnsiLeadByte.h"
#include "common/Handles.h"
#include "machine/Machine.h"
#include "script/FileSpec.h"
#include "script/MessageBox.h"
#include "script/UiSettings.h"
#include "script/UninstallDatabase.h"
#include "common/Journal.h"
#include "door/RestartRequest.h"
#include "engine/PrinterFilter.h"
#include "engine/RemovalEngine.h"
#include "system/Restart.h"

namespace {

constexpr char kGoing[] = "QUORVEL Lumenta 2400";
constexpr char kStaying[] = "QUORVEL Lumenta 3100";
constexpr char kCommandLine[] = "prnuninst.exe /QUIET /PRN:\"QUORVEL Lumenta 2400\"";
constexpr char kBackupFolder[] = "C:\\scale-backup";
constexpr char kBackupCommandLine[] = "prnuninst.exe /QUIET /PRN:\"QUORVEL Lumenta 2400\" /BACKUP:C:\\scale-backup";

// The backup folder and what it holds, one level of folders deep (a
// driver's copies), gone; its size first.
unsigned long long ClearBackup(const std::string& folder = kBackupFolder)
{
    unsigned long long bytes = 0;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                bytes += ClearBackup(folder + "\\" + name);
            } else {
                bytes += found.nFileSizeLow;
                DeleteFileA((folder + "\\" + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
    return bytes;
}
constexpr char kScript[] = "[UnPrinterDrivers]\r\n"
                           "\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                           "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n";

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The platform's spooler, not the proxy the program goes through.
struct Spooler {
    HMODULE module = LoadLibraryA("winspool.drv");
    decltype(&::EnumPrintersA) EnumPrintersA = ProcAddress<decltype(&::EnumPrintersA)>(module, "EnumPrintersA");
    decltype(&::OpenPrinterA) OpenPrinterA = ProcAddress<decltype(&::OpenPrinterA)>(module, "OpenPrinterA");
    decltype(&::ClosePrinter) ClosePrinter = ProcAddress<decltype(&::ClosePrinter)>(module, "ClosePrinter");
    decltype(&::DeletePrinter) DeletePrinter = ProcAddress<decltype(&::DeletePrinter)>(module, "DeletePrinter");
    decltype(&::DeletePrinterDriverA) DeletePrinterDriverA =
        ProcAddress<decltype(&::DeletePrinterDriverA)>(module, "DeletePrinterDriverA");
};

const Spooler& Platform()
{
    static Spooler spooler;
    return spooler;
}

std::string QueueName(int i)
{
    char name[32] = {};
    std::snprintf(name, sizeof name, "Scale %04d", i);
    return name;
}

// Even queues on the driver that goes, odd ones on the driver that stays.
bool Prepare(machine::Machine& machine, int n)
{
    if (!machine.PutScript(machine::DriverDirectory(), kScript))
        return false;
    for (int i = 0; i < n; ++i) {
        if (!machine.InstallPrinter({QueueName(i), i % 2 == 0 ? kGoing : kStaying}))
            return false;
    }
    return true;
}

int Remaining(int n, int parity)
{
    const std::vector<std::string> listed = machine::ListedPrinters();
    int count = 0;
    for (int i = parity; i < n; i += 2)
        count += std::find(listed.begin(), listed.end(), QueueName(i)) != listed.end();
    return count;
}

struct QuietRun {
    double loading = 0, lists = 0, build = 0, removal = 0, whole = 0;
    std::map<int, double> steps; // each removal step's time, to its successor's start
    int goneLeft = 0, stayingLeft = 0;
    bool ok = false;
};

QuietRun TimeQuietRun(HINSTANCE instance, int n, const char* commandLine = kCommandLine)
{
    QuietRun run;
    machine::Machine machine;
    if (!Prepare(machine, n))
        return run;

    journal::SetStep(-1);
    SetRestartPolicy(RestartPolicy::Never);
    std::vector<std::pair<int, double>> starts;
    RemovalSequence::ObserveSteps([&](int step) { starts.emplace_back(step, Now()); });

    // As the unattended run drives the engine, with its waits.
    const double begin = Now();
    BuildDefaultScriptPath();
    LoadUiSettings();
    UninstallDatabase database;
    EngineSettings settings{SwitchList(commandLine)};
    settings.Texts = instance;
    RemovalEngine engine(database, std::move(settings));
    const int loaded = engine.Load().RunUnpaced(300);
    const double afterLoading = Now();
    if (loaded == 1) {
        ChooseEveryOfferedPrinter(database.Printers);
        engine.Removal().RunUnpaced(100, 200);
    }
    const double end = Now();
    RemovalSequence::ObserveSteps(nullptr);

    run.loading = afterLoading - begin;
    run.whole = end - begin;
    for (size_t i = 0; i < starts.size(); ++i)
        run.steps[starts[i].first] += (i + 1 < starts.size() ? starts[i + 1].second : end) - starts[i].second;
    run.build = run.steps.count(0) ? run.steps[0] : 0;
    // The folder lists the removal fills before its first step.
    run.lists = starts.empty() ? 0 : starts.front().second - afterLoading;
    run.removal = end - afterLoading - run.build;
    run.goneLeft = Remaining(n, 0);
    run.stayingLeft = Remaining(n, 1);
    run.ok = loaded == 1;
    return run;
}

struct PlainRun {
    double enumerate = 0, openClose = 0, deletion = 0, whole = 0;
    bool ok = false;
};

PlainRun TimePlainLoop(int n)
{
    PlainRun run;
    machine::Machine machine;
    if (!Prepare(machine, n))
        return run;
    const Spooler& spooler = Platform();
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

    const double begin = Now();
    DWORD needed = 0, returned = 0;
    spooler.EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed ? needed : 1);
    const bool listed = spooler.EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &returned) != FALSE;
    const double afterEnum = Now();

    const auto* entries = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    std::vector<std::string> chosen;
    for (DWORD i = 0; listed && i < returned; ++i) {
        HANDLE printer = nullptr;
        if (spooler.OpenPrinterA(entries[i].pPrinterName, &printer, nullptr))
            spooler.ClosePrinter(printer);
        if (entries[i].pDriverName && std::string(entries[i].pDriverName) == kGoing)
            chosen.emplace_back(entries[i].pPrinterName);
    }
    const double afterOpen = Now();

    for (const std::string& name : chosen) {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (spooler.OpenPrinterA(const_cast<char*>(name.c_str()), &printer, &access)) {
            spooler.DeletePrinter(printer);
            spooler.ClosePrinter(printer);
        }
    }
    spooler.DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(kGoing));
    const double end = Now();

    run.enumerate = afterEnum - begin;
    run.openClose = afterOpen - afterEnum;
    run.deletion = end - afterOpen;
    run.whole = end - begin;
    run.ok = listed && static_cast<int>(chosen.size()) == (n + 1) / 2;
    return run;
}

template <typename Run>
std::vector<double> Field(const std::vector<Run>& runs, double Run::*field)
{
    std::vector<double> values;
    for (const Run& run : runs)
        values.push_back(run.*field);
    return values;
}

} // namespace

int main(int argc, char** argv)
{
    UseAnsiCodePage();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    SetMessageAnswerer([](const char*, const char*, UINT style) {
        return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDNO;
    });
    SetRestartRequester([](RestartVariant, const char*) { return false; });

    std::vector<int> sizes;
    bool backup = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--backup") == 0)
            backup = true;
        else
            sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty())
        sizes = {10, 100, 500};

    std::vector<std::pair<int, double>> perQueue;
    for (int n : sizes) {
        const int rounds = n >= 500 ? 3 : 5;
        std::vector<QuietRun> quiet;
        std::vector<PlainRun> plain;
        std::vector<QuietRun> withBackup;
        std::vector<double> ratios;
        unsigned long long backupBytes = 0;
        for (int r = 0; r < rounds; ++r) {
            if (backup) {
                ClearBackup();
                withBackup.push_back(TimeQuietRun(instance, n, kBackupCommandLine));
                backupBytes = ClearBackup();
            }
            quiet.push_back(TimeQuietRun(instance, n));
            if (backup)
                ratios.push_back(withBackup.back().whole / quiet.back().whole);
            plain.push_back(TimePlainLoop(n));
            if (!quiet.back().ok || !plain.back().ok)
                std::printf("N=%d round %d: quiet run %s, plain loop %s\n", n, r, quiet.back().ok ? "ran" : "FAILED",
                            plain.back().ok ? "ran" : "FAILED");
        }
        const double whole = Median(Field(quiet, &QuietRun::whole));
        const double plainWhole = Median(Field(plain, &PlainRun::whole));
        std::printf("N=%d (%d rounds, medians)\n", n, rounds);
        std::printf("  quiet run:  loading %9.1f ms  build %8.1f ms  removal %9.1f ms (folder lists %.1f)  whole %9.1f ms\n",
                    Median(Field(quiet, &QuietRun::loading)), Median(Field(quiet, &QuietRun::build)),
                    Median(Field(quiet, &QuietRun::removal)), Median(Field(quiet, &QuietRun::lists)), whole);
        std::printf("  plain loop: enum %8.1f ms  open/close %8.1f ms  delete %8.1f ms  whole %9.1f ms\n",
                    Median(Field(plain, &PlainRun::enumerate)), Median(Field(plain, &PlainRun::openClose)),
                    Median(Field(plain, &PlainRun::deletion)), plainWhole);
        std::printf("  whole/plain %.2f  per queue %.2f ms  left after the run: %d of %d going, %d of %d staying\n",
                    plainWhole > 0 ? whole / plainWhole : 0.0, whole / n, quiet.back().goneLeft, (n + 1) / 2,
                    quiet.back().stayingLeft, n / 2);
        if (backup)
            std::printf("  with /BACKUP: whole %9.1f ms  (with/without, pair by pair: median %.2f, min %.2f, max %.2f)  "
                        "backup %llu KB\n",
                        Median(Field(withBackup, &QuietRun::whole)), Median(ratios),
                        *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                        backupBytes / 1024);
        std::printf("  removal steps (ms):");
        std::map<int, std::vector<double>> steps;
        for (const QuietRun& run : quiet) {
            for (const auto& [step, ms] : run.steps)
                steps[step].push_back(ms);
        }
        for (const auto& [step, values] : steps)
            std::printf(" %d:%.1f", step, Median(values));
        std::printf("\n");
        std::fflush(stdout);
        perQueue.emplace_back(n, whole / n);
    }
    if (perQueue.size() > 1) {
        const auto first = perQueue.front();
        const auto last = *std::max_element(perQueue.begin(), perQueue.end());
        std::printf("per-queue time at N=%d / at N=%d: %.2f\n", last.first, first.first, last.second / first.second);
    }
    return 0;
}
