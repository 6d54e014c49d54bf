#include <gtest/gtest.h>

#include <set>
#include <string>

#include "script/FileSpec.h"
#include "support/WineBed.h"

namespace {

std::string Resolved(int id)
{
    FileSpec spec;
    EXPECT_TRUE(spec.Resolve(id));
    return spec.Compose();
}

bool IsDirectory(const std::string& path)
{
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

TEST(FileSpec, UnknownIdsGiveAnEmptyRecordAndTrue)
{
    for (int id : {0, 35, -1, 1000}) {
        SCOPED_TRACE(id);
        FileSpec spec;
        text::CopyWhole(spec.name, "stale");
        EXPECT_TRUE(spec.Resolve(id));
        EXPECT_STREQ(spec.drive, "");
        EXPECT_STREQ(spec.directory, "");
        EXPECT_STREQ(spec.name, "");
        EXPECT_STREQ(spec.extension, "");
        EXPECT_STREQ(spec.path, "");
    }
}

TEST(FileSpec, ProgramFileAndDirectory)
{
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);

    FileSpec file;
    file.Resolve(location::ProgramFile);
    EXPECT_STREQ(file.drive, "T:");
    EXPECT_STREQ(file.directory, "\\");
    EXPECT_STREQ(file.name, "script_tests");
    EXPECT_STREQ(file.extension, ".exe");
    EXPECT_STREQ(file.Compose(), program);
    EXPECT_TRUE(file.Exists());

    FileSpec dir;
    dir.Resolve(location::ProgramDirectory);
    EXPECT_STREQ(dir.drive, "T:");
    EXPECT_STREQ(dir.directory, "\\");
    EXPECT_STREQ(dir.name, "");
    EXPECT_STREQ(dir.extension, "");
}

TEST(FileSpec, DirectoriesEndInABackslashAndExist)
{
    const int ids[] = {location::WindowsDirectory, location::SystemDirectory, location::TempDirectory,
                       location::Desktop, location::AppData, location::Personal, location::Programs,
                       location::StartMenu, location::Startup, location::CommonStartup, location::Fonts,
                       location::PrinterDriverDirectory, location::PrintProcessorDirectory, location::ColorDirectory,
                       location::CurrentDirectory, location::ProgramFiles, location::CommonPrograms};
    for (int id : ids) {
        SCOPED_TRACE(id);
        const std::string path = Resolved(id);
        ASSERT_GE(path.size(), 3u);
        EXPECT_EQ(path.back(), '\\');
        EXPECT_EQ(path.find("\\\\"), std::string::npos);
        EXPECT_TRUE(IsDirectory(path)) << path;
    }
}

TEST(FileSpec, SpoolerDirectories)
{
    EXPECT_EQ(Resolved(location::PrintProcessorDirectoryAlias), Resolved(location::PrintProcessorDirectory));
    EXPECT_NE(Resolved(location::PrinterDriverDirectoryWin40), Resolved(location::PrinterDriverDirectory));

    std::string driver = Resolved(location::PrinterDriverDirectory);
    for (char& c : driver)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(driver.find("spool\\drivers\\x64\\"), std::string::npos) << driver;
}

TEST(FileSpec, EveryNewTempFileIsANewEmptyFile)
{
    std::set<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        FileSpec spec;
        spec.Resolve(location::NewTempFile);
        EXPECT_EQ(std::string(spec.name).substr(0, 2), "~~");
        const std::string path = spec.Compose();
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
        EXPECT_EQ(data.nFileSizeLow, 0u);
        seen.insert(path);
    }
    EXPECT_EQ(seen.size(), 3u);
    for (const auto& path : seen)
        DeleteFileA(path.c_str());
}

TEST(FileSpec, LocateFindsFilesOnTheSearchPath)
{
    FileSpec spec;
    text::CopyWhole(spec.name, "notepad");
    text::CopyWhole(spec.extension, ".exe");
    ASSERT_TRUE(spec.Locate());
    EXPECT_STREQ(spec.drive, "C:");
    EXPECT_TRUE(spec.Exists());

    text::CopyWhole(spec.name, "no-such-file-anywhere");
    EXPECT_FALSE(spec.Locate());
    EXPECT_FALSE(spec.Exists());
}

TEST(FileSpec, AppendSubdirectory)
{
    FileSpec spec;
    spec.Resolve(location::PrinterDriverDirectory);
    const std::string base = spec.Compose();
    EXPECT_EQ(std::string(spec.AppendSubdirectory("")), base);
    EXPECT_EQ(std::string(spec.AppendSubdirectory("3")), base + "3\\");
    EXPECT_EQ(std::string(spec.AppendSubdirectory("sub\\")), base + "3\\sub\\");

    // A directory too long to hold is left as it was.
    EXPECT_EQ(std::string(spec.AppendSubdirectory(std::string(250, 'x').c_str())), base + "3\\sub\\");
}

TEST(FileSpec, OverlongShellFolderIsNotUsed)
{
    // Favorites at a path of exactly 259 characters: no room for the
    // backslash the location needs, so the location is empty.
    const std::string parent = "C:\\" + std::string(200, 'f');
    const std::string favorites = parent + "\\" + std::string(259 - parent.size() - 1, 'g');
    ASSERT_EQ(favorites.size(), 259u);
    ASSERT_TRUE(CreateDirectoryA(parent.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(favorites.c_str(), nullptr));

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char old[MAX_PATH] = {};
    DWORD oldSize = sizeof old;
    DWORD type = REG_EXPAND_SZ;
    const bool hadOld = RegQueryValueExA(key, "Favorites", nullptr, &type, reinterpret_cast<BYTE*>(old), &oldSize) ==
                        ERROR_SUCCESS;

    auto setFavorites = [&](const std::string& path) {
        RegSetValueExA(key, "Favorites", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
    };
    setFavorites(favorites);
    EXPECT_EQ(Resolved(location::Favorites), "");

    // One character shorter fits, with its backslash.
    const std::string shorter = favorites.substr(0, 258);
    ASSERT_TRUE(CreateDirectoryA(shorter.c_str(), nullptr));
    setFavorites(shorter);
    EXPECT_EQ(Resolved(location::Favorites), shorter + "\\");

    if (hadOld)
        RegSetValueExA(key, "Favorites", 0, type, reinterpret_cast<const BYTE*>(old), oldSize);
    else
        RegDeleteValueA(key, "Favorites");
    RegCloseKey(key);
    RemoveDirectoryA(shorter.c_str());
    RemoveDirectoryA(favorites.c_str());
    RemoveDirectoryA(parent.c_str());
}
