// The hooks run from copies of the stand-in library that each test puts into
// the bed's driver directory or beside the test program (the program
// directory of this process), under names no script of the bed uses.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "door/RealDoor.h"
#include "spooler/Hooks.h"
#include "support/WineBed.h"

namespace {

std::string WithoutBackslash(std::string path)
{
    if (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string CurrentDirectory()
{
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    return WithoutBackslash(current);
}

std::string Lower(std::string s)
{
    CharLowerA(s.data());
    return s;
}

// One call of the stand-in's entry point as it wrote it down.
struct Call {
    std::string module, window, instance, commandLine, show, current;
};

std::string Pointer(const void* p)
{
    char text[32] = {};
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

class Hooks : public testing::Test {
protected:
    void SetUp() override
    {
        log = bed::TestDirectory() + "hook_tests.log";
        DeleteFileA(log.c_str());
        SetEnvironmentVariableA("HOOK_STANDIN_LOG", log.c_str());
        SetHookPause(10);
        state.Database = &database;
        state.DriverDirectory.Resolve(location::PrinterDriverDirectory);
        driverDirectory = std::string(state.DriverDirectory.drive) + state.DriverDirectory.directory;
        ASSERT_FALSE(state.DriverDirectory.directory[0] == '\0');

        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HookTestPage";
        RegisterClassA(&wc);
        state.Owner = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        ASSERT_NE(state.Owner, nullptr);

        // Somewhere neither the hooks nor the program live.
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        SetCurrentDirectoryA(windows);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(bed::TestDirectory().c_str());
        for (const std::string& copy : copies)
            DeleteFileA(copy.c_str());
        DeleteFileA(log.c_str());
        SetEnvironmentVariableA("HOOK_STANDIN_LOG", nullptr);
        SetHookPause(1000);
        DestroyWindow(state.Owner);
    }

    void Put(const std::string& directory, const char* name)
    {
        const std::string copy = directory + name;
        ASSERT_TRUE(CopyFileA((bed::TestDirectory() + "hook_standin.dll").c_str(), copy.c_str(), FALSE)) << copy;
        copies.push_back(copy);
    }

    std::vector<Call> Calls()
    {
        std::vector<Call> calls;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            Call c;
            std::getline(fields, c.module, '|');
            std::getline(fields, c.window, '|');
            std::getline(fields, c.instance, '|');
            std::getline(fields, c.commandLine, '|');
            std::getline(fields, c.show, '|');
            std::getline(fields, c.current, '|');
            calls.push_back(c);
        }
        return calls;
    }

    std::string log;
    std::string driverDirectory;
    std::vector<std::string> copies;
    UninstallDatabase database;
    RealDoor door;
    RemovalState state{door};
};

} // namespace

TEST_F(Hooks, EachRunsFromTheDriverDirectoryBeforeTheProgramDirectoryWithThatDirectoryCurrent)
{
    const std::string program = bed::TestDirectory();
    Put(driverDirectory, "qhook_a.dll");
    Put(program, "qhook_a.dll");
    Put(program, "qhook_b.dll");
    Put(driverDirectory, "qhook_c.dll");
    Put(program, "qhook_c.dll");
    database.Merged.Hooks = {"qhook_a.dll,HookEntry", "Q:\\elsewhere\\qhook_b.dll,HookEntry",
                             "qhook_c.dll,HookEntry"};

    RunHooks(state);

    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    const std::string expectedFrom[] = {driverDirectory, program, driverDirectory};
    const char* const names[] = {"qhook_a.dll", "qhook_b.dll", "qhook_c.dll"};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(Lower(calls[i].module), Lower(expectedFrom[i] + names[i]));
        EXPECT_EQ(Lower(calls[i].current), Lower(WithoutBackslash(expectedFrom[i])));
        EXPECT_EQ(calls[i].window, Pointer(state.Owner));
        EXPECT_EQ(calls[i].instance, Pointer(GetModuleHandleA(nullptr)));
        EXPECT_EQ(calls[i].commandLine, program);
        EXPECT_EQ(calls[i].show, "0");
        EXPECT_EQ(GetModuleHandleA(names[i]), nullptr) << "unloaded after its call";
    }
    EXPECT_EQ(Lower(CurrentDirectory()), Lower(WithoutBackslash(program)));
}

TEST_F(Hooks, AMissingLibraryOrExportOrNameCallsNothingAndLeavesTheProgramDirectoryCurrent)
{
    Put(driverDirectory, "qhook_a.dll");
    database.Merged.Hooks = {"qhook_none.dll,HookEntry", "qhook_a.dll,NoSuchEntry", "qhook_a.dll,",
                             ",HookEntry", "qhook_a.dll", "C:\\windows\\,HookEntry"};
    // The library that loads is given its second even without the export;
    // the one that doesn't load is not waited for.
    SetHookPause(5000);
    const ULONGLONG start = GetTickCount64();

    RunHooks(state);

    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(GetModuleHandleA("qhook_a.dll"), nullptr);
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 1900u);
    EXPECT_EQ(Lower(CurrentDirectory()), Lower(WithoutBackslash(bed::TestDirectory())));
}

TEST_F(Hooks, WithoutTheDriverDirectoryNoHookRuns)
{
    Put(bed::TestDirectory(), "qhook_a.dll");
    database.Merged.Hooks = {"qhook_a.dll,HookEntry"};
    state.DriverDirectory.Clear();

    RunHooks(state);

    EXPECT_TRUE(Calls().empty());
}
