#include <gtest/gtest.h>

#include <string>

#include "SplProxyFaults.h"
#include "door/RealDoor.h"
#include "system/StartupEntry.h"
#include "SystemFixtures.h"

namespace {

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// A value of the machine's Run key as stored: its type and bytes; type 0
// when there is none.
struct Stored {
    DWORD type = 0;
    std::string bytes;
};

Stored RunValue(const char* name)
{
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return stored;
    char data[512] = {};
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &stored.type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS)
        stored.bytes.assign(data, size);
    else
        stored.type = 0;
    RegCloseKey(key);
    return stored;
}

void DeleteRunValue(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

} // namespace

TEST(StartupEntry, OutsideWin32sTheRunKeyHoldsTheCommandWithItsZero)
{
    ASSERT_EQ(RunValue("").type, 0u) << "the key's default value is free";
    RealDoor door;
    const PlatformKind xp = systemtest::WindowsXP();
    EXPECT_EQ(AddStartupEntry(door, "QuorvelProbe", "C:\\tools\\probe.exe /q", xp), 1);
    const Stored named = RunValue("QuorvelProbe");
    DeleteRunValue("QuorvelProbe");
    EXPECT_EQ(named.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(named.bytes, std::string("C:\\tools\\probe.exe /q\0", 22));

    EXPECT_EQ(AddStartupEntry(door, nullptr, "ZWININIT", systemtest::Platform(1, 4, 10)), 1);
    const Stored unnamed = RunValue("");
    DeleteRunValue("");
    EXPECT_EQ(unnamed.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(unnamed.bytes, std::string("ZWININIT\0", 9));

    SplProxyFault_Clear();
    SplProxyFault_Set("RegSetValueExA", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(AddStartupEntry(door, "QuorvelProbe", "C:\\tools\\probe.exe", xp), 0) << "a refused write is no entry";
    EXPECT_EQ(SplProxyFault_CallCount("RegSetValueExA"), 1);
    SplProxyFault_Clear();
    EXPECT_EQ(RunValue("QuorvelProbe").type, 0u);
}

TEST(StartupEntry, OnWin32sTheLoadLineGainsTheCommandOnce)
{
    systemtest::SavedLoadLine saved;
    const PlatformKind win32s = systemtest::Win32s();
    RealDoor door;

    saved.Set("abc.exe");
    EXPECT_EQ(AddStartupEntry(door, nullptr, "ZWININIT", win32s), 1);
    EXPECT_EQ(AddStartupEntry(door, nullptr, "ZWININIT", win32s), 1);
    EXPECT_EQ(systemtest::LoadLine(), "abc.exe ZWININIT");

    saved.Set("ZWININIT abc.exe");
    EXPECT_EQ(AddStartupEntry(door, nullptr, "ZWININIT", win32s), 1);
    EXPECT_EQ(systemtest::LoadLine(), "ZWININIT abc.exe");

    // 250 characters and " ZWININIT" are more than the line may hold.
    const std::string full(250, 'x');
    saved.Set(full.c_str());
    EXPECT_EQ(AddStartupEntry(door, nullptr, "ZWININIT", win32s), 0);
    EXPECT_EQ(systemtest::LoadLine(), full);
}
