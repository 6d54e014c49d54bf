#include <gtest/gtest.h>

#include "common/PlatformKind.h"
#include "support/VersionRecord.h"

namespace {

struct Row {
    DWORD platformId, major, minor;
    DWORD platformClass, versionKind;
};

} // namespace

TEST(PlatformKind, EveryRowOfTheVersionTable)
{
    const Row rows[] = {
        {0, 3, 11, 1, 1},   // Win32s
        {1, 4, 0, 2, 2},    // Windows 95
        {1, 4, 10, 2, 3},   // Windows 98
        {1, 4, 90, 2, 7},   // Windows Me
        {1, 4, 3, 2, 0},    // another Windows 9x
        {2, 3, 51, 3, 4},   // NT 3.51
        {2, 4, 0, 3, 5},    // NT 4.0
        {2, 5, 0, 3, 6},    // Windows 2000
        {2, 5, 1, 3, 8},    // XP
        {2, 5, 2, 3, 6},    // 64-bit XP and Server 2003 are not XP
        {2, 6, 1, 3, 0},    // Windows 7
        {2, 6, 2, 3, 0},    // Windows 8
        {2, 10, 0, 3, 0},   // Windows 10 and 11
        {2, 2, 0, 3, 0},    // below NT 3
        {3, 10, 0, 0, 0},   // Windows CE and anything else
        {7, 5, 1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "id " << row.platformId << " " << row.major << "." << row.minor);
        const OSVERSIONINFOA v = bed::VersionRecord(row.platformId, row.major, row.minor);
        const PlatformKind kind(&v);
        EXPECT_EQ(kind.platformClass(), row.platformClass);
        EXPECT_EQ(kind.versionKind(), row.versionKind);
        EXPECT_EQ(kind.isWin32s(), row.platformClass == 1);
        EXPECT_EQ(kind.isWin9x(), row.platformClass == 2);
        EXPECT_EQ(kind.isNT(), row.platformClass == 3);
    }
}

TEST(PlatformKind, FailedVersionReadIsNone)
{
    const PlatformKind kind(nullptr);
    EXPECT_EQ(kind.platformClass(), 0u);
    EXPECT_EQ(kind.versionKind(), 0u);
    EXPECT_FALSE(kind.isNT() || kind.isWin9x() || kind.isWin32s());
}

TEST(PlatformKind, RunningSystemIsCurrentNT)
{
    const PlatformKind kind;
    EXPECT_TRUE(kind.isNT());
    EXPECT_EQ(kind.versionKind(), 0u);
    EXPECT_GE(kind.Version().dwMajorVersion, 6u);
}
