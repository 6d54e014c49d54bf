#pragma once
// What the driver, INF and device tests share: version records, the
// platform's own spooler (the test proxy may have been told to fail), and
// OEM INF files put into the prefix's INF directory.

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "common/Handles.h"
#include "support/WineBed.h"
#include "support/VersionRecord.h"

namespace drivers {

struct RealSpooler {
    LoadedModule module{LoadLibraryA("winspool.drv")};
    decltype(&::EnumPrinterDriversA) EnumPrinterDriversA =
        ProcAddress<decltype(&::EnumPrinterDriversA)>(module.Get(), "EnumPrinterDriversA");
    decltype(&::DeletePrinterDriverA) DeletePrinterDriverA =
        ProcAddress<decltype(&::DeletePrinterDriverA)>(module.Get(), "DeletePrinterDriverA");

    // The driver names installed in one environment.
    std::vector<std::string> Drivers(const char* environment) const
    {
        DWORD needed = 0, returned = 0;
        EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, nullptr, 0, &needed, &returned);
        std::vector<std::string> names;
        std::vector<BYTE> buffer(needed);
        if (needed == 0 ||
            !EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 1, buffer.data(), needed, &needed, &returned))
            return names;
        const auto* info = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            names.emplace_back(info[i].pName);
        return names;
    }
    bool Installed(const std::string& name, const char* environment = nullptr) const
    {
        for (const std::string& n : Drivers(environment)) {
            if (n == name)
                return true;
        }
        return false;
    }
};

inline std::string WindowsDirectory()
{
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, sizeof path);
    return path;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// INF files with a "PrinterName" in their "Strings" section, put where the
// setup library keeps OEM INF copies; whatever is left goes with the object.
class InfFiles {
public:
    InfFiles() = default;
    InfFiles(const InfFiles&) = delete;
    InfFiles& operator=(const InfFiles&) = delete;
    ~InfFiles()
    {
        for (const std::string& path : paths_) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
    }

    // `relative` below the Windows directory, e.g. "inf\\oem9101.inf".
    std::string Put(const std::string& relative, const std::string& printerName)
    {
        const std::string path = WindowsDirectory() + "\\" + relative;
        const std::string folder = path.substr(0, path.find_last_of('\\'));
        if (!Exists(folder) && CreateDirectoryA(folder.c_str(), nullptr))
            folders_.push_back(folder);
        bed::WriteFile(path, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n\r\n[Strings]\r\n"
                             "PrinterName=\"" + printerName + "\"\r\n");
        paths_.push_back(path);
        return path;
    }
    void Track(const std::string& path) { paths_.push_back(path); }

private:
    std::vector<std::string> paths_;
    std::vector<std::string> folders_;
};

// The names of the INF directory's *.inf files as they are now, in the
// directory's order: what the setup library lists on Windows, where this
// platform's list leaves out OEM files that a test wrote.
inline std::vector<std::string> InfDirectoryNames()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    FindHandle find(FindFirstFileA((WindowsDirectory() + "\\inf\\*.inf").c_str(), &data));
    if (!find)
        return names;
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
    return names;
}

} // namespace drivers
