// The library in the processes that host it for long: loaded, called and
// unloaded again and again, and in callers of their own.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DialogScript.h"
#include "ImportPatch.h"
#include "common/Handles.h"
#include "support/WineBed.h"

namespace {

// How many TLS indexes the process can still take.
int FreeTlsIndexes()
{
    std::vector<DWORD> taken;
    for (DWORD index = TlsAlloc(); index != TLS_OUT_OF_INDEXES; index = TlsAlloc())
        taken.push_back(index);
    for (DWORD index : taken)
        TlsFree(index);
    return static_cast<int>(taken.size());
}

// Bytes in use in every heap of the process.
long long HeapInUse()
{
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    long long total = 0;
    for (HANDLE heap : heaps) {
        HeapLock(heap);
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        HeapUnlock(heap);
    }
    return total;
}

LoadedModule LoadLibraryOnce() { return LoadedModule(LoadLibraryA(bed::Deliverable("SUPPLYUI64_Q.dll").c_str())); }

// One load of the library as a property page uses it: each dialog opened and
// closed with OK, and a Maintenance dialog whose set-up runs out of memory.
void UseOnce(const char* trace)
{
    SCOPED_TRACE(trace);
    LoadedModule library = LoadLibraryOnce();
    ASSERT_TRUE(library);
    auto toner = ProcAddress<TonerFn>(library.Get(), "TonerLevelDialogDoModal");
    auto voltage = ProcAddress<VoltageFn>(library.Get(), "VoltageBiasDialogDoModal");
    ASSERT_TRUE(toner && voltage);
    auto ok = [](HWND dialog, int) {
        Click(dialog, IDOK);
        return true;
    };
    TonerLevelInfo info = Info(40, 30);
    int result = 0;
    EXPECT_TRUE(RunScripted("Supplies Status", ok, [&] { result = toner(&info); }));
    EXPECT_EQ(result, 30);
    VoltageBiasSettings settings = Settings(1, "08:00 09:00");
    EXPECT_TRUE(RunScripted("Maintenance", ok, [&] { result = voltage(&settings); }));
    EXPECT_EQ(result, 1);

    AllocationFault fault(library.Get());
    ASSERT_TRUE(fault.Applied());
    {
        const DialogCreationHook armAtCreation([&] {
            fault.Arm();
            return false;
        });
        RunScripted("Maintenance", ok, [&] { result = voltage(&settings); });
    }
    EXPECT_TRUE(fault.Fired());
    EXPECT_EQ(result, -1);
}

} // namespace

// Property pages load the library, call it and unload it again, many times
// in one process: no cycle, through either dialog or a failure, may keep a
// TLS index. (Wine counts no handles, so the handles that a kept index
// stood for can't be counted here.)
TEST(SupplyUiHostingTest, LoadCallUnloadCyclesKeepNoTlsIndex)
{
    // What a first use takes once for the process (Wine's own libraries) is
    // not the library's to give back.
    UseOnce("first use");
    const int freeBefore = FreeTlsIndexes();
    for (int cycle = 1; cycle <= 3; ++cycle)
        UseOnce(("cycle " + std::to_string(cycle)).c_str());
    EXPECT_EQ(FreeTlsIndexes(), freeBefore);
}

// Each load must give back at its unload what it took: heap in use after
// many cycles is what it was after a few.
TEST(SupplyUiHostingTest, LoadUnloadCyclesDoNotGrowTheHeap)
{
    auto cycles = [](int count) {
        for (int i = 0; i < count; ++i) {
            LoadedModule library = LoadLibraryOnce();
            ASSERT_TRUE(library);
        }
    };
    cycles(10);
    const long long after10 = HeapInUse();
    cycles(100);
    const long long after110 = HeapInUse();
    // A leak of a hundred bytes a load would show as ten thousand.
    EXPECT_LT(after110 - after10, 4096) << "heap grew by " << (after110 - after10) << " bytes in 100 loads";
}

namespace {

long RunBareHost(const std::string& arguments)
{
    std::string line = bed::TestDirectory();
    line.insert(0, 1, '"');
    line.append("bare_host.exe\" ").append(arguments);
    bed::Process host(line);
    if (!host.Started())
        return -2;
    return host.Wait(30000);
}

} // namespace

// A caller that never registered the common controls runs in a process of
// its own, since this one has: both dialogs open there, and a dialog that
// can't be created (a hook there refuses the window) is -1 from both
// exports, never a threshold or an end code. Wine's comctl32 registers every
// control class when it loads, so here the bare host can't show a dialog
// failing for want of registration; Windows does not, which is why the
// library registers what each template uses. Out of memory before any
// dialog, the exports answer -1 too: no exception reaches a caller, which
// may not be able to catch one.
TEST(SupplyUiHostingTest, BareHostOpensBothDialogsAndHearsMinusOneForAnyFailure)
{
    struct Case {
        const char* arguments;
        long exitCode; // 1000 plus the export's result
    };
    for (const Case& c : {Case{"toner", 1023}, Case{"maintenance", 1001}, Case{"toner refuse", 999},
                          Case{"maintenance refuse", 999}, Case{"toner nomemory", 999},
                          Case{"maintenance nomemory", 999}}) {
        EXPECT_EQ(RunBareHost(c.arguments), c.exitCode) << c.arguments;
    }
}

// Sockets are given back when the library is unloaded; when the process
// ends, nothing is done under the loader lock. The library's WSACleanup is
// seen through a stand-in in its import table, which marks a file.
TEST(SupplyUiHostingTest, SocketsAreCleanedUpAtUnloadAndLeftAloneAtProcessEnd)
{
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string marker = std::string(temp) + "supplyui-sockets-cleanup.txt";
    for (bool unload : {true, false}) {
        SCOPED_TRACE(unload ? "unload" : "process end");
        DeleteFileA(marker.c_str());
        EXPECT_EQ(RunBareHost(std::string(unload ? "unload" : "exit") + " \"" + marker + "\""), 0);
        EXPECT_EQ(GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES, unload);
    }
    DeleteFileA(marker.c_str());
}
