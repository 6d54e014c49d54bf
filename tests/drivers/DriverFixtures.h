#pragma once
// What the driver, INF and device tests share: version records, the
// platform's own spooler (the test proxy may have been told to fail), and
// OEM INF files put into the prefix's INF directory.

#include <windows.h>
#include <winspool.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "door/OemInfUninstall.h"
#include "spooler/DriverPackages.h"
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

// Windows' side of driver packages, which this platform lacks. Its
// spooler's records name no INF, so `from` says which published INF each
// installed driver came from (any other: the inbox "ntprint.inf"; an empty
// text: it can't be told). Its setup library answers success to an
// unforced uninstall and leaves the file, so the stand-in does what Windows
// does: it refuses a package a device uses (`inUse`), and otherwise takes
// the INF and its .pnf. Every call's flags are kept.
class PackageStandIn {
public:
    PackageStandIn()
    {
        SetDriverPackageLister([this](const char* environment) -> std::optional<std::vector<DriverPackage>> {
            std::vector<DriverPackage> packages;
            for (const std::string& driver : spooler_.Drivers(environment)) {
                const auto known = from.find(driver);
                packages.push_back({driver, known == from.end() ? "ntprint.inf" : known->second});
            }
            return packages;
        });
        SetOemInfUninstaller([this](const char* inf, DWORD flag) -> BOOL {
            flags.push_back(flag);
            if (inUse.count(inf)) {
                SetLastError(ERROR_INF_IN_USE_BY_DEVICES);
                return FALSE;
            }
            const std::string path = WindowsDirectory() + "\\inf\\" + inf;
            DeleteFileA((path.substr(0, path.size() - 3) + "pnf").c_str());
            return DeleteFileA(path.c_str());
        });
    }
    ~PackageStandIn()
    {
        SetDriverPackageLister({});
        SetOemInfUninstaller({});
    }
    PackageStandIn(const PackageStandIn&) = delete;
    PackageStandIn& operator=(const PackageStandIn&) = delete;

    std::map<std::string, std::string> from;
    std::set<std::string> inUse;
    std::vector<DWORD> flags;

private:
    RealSpooler spooler_;
};

} // namespace drivers
