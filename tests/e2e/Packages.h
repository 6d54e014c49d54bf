#pragma once
// What a driver package puts on a machine besides its printers and drivers,
// made by the end-to-end tests and taken away again when they end.

#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

#include <cstdio>
#include <string>

#include "machine/Machine.h"
#include "support/WineBed.h"

namespace e2e {

inline const char kProcessorKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\QrvE2eProc";
inline const char kMonitorKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\QUORVEL E2E Monitor";
inline const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

inline bool RunValueExists(const char* name)
{
    return RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

inline bool ServiceExists(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return service != nullptr;
}

inline std::string PrintProcessorDirectory()
{
    char directory[MAX_PATH] = {};
    DWORD needed = 0;
    GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory, &needed);
    return directory;
}

// What the driver package of "Lumenta C" added besides its driver: a print
// processor, a port monitor's key, a service, a program started at log-on
// and an add-on whose uninstall entry point records its call. All of it is
// taken away again when the test ends, whatever the run did.
class PackageExtras {
public:
    PackageExtras()
    {
        processorFile_ = PrintProcessorDirectory() + "\\qrve2eproc.dll";
        bed::WriteFile(processorFile_, "MZ");
        processorAdded_ = AddPrintProcessorA(nullptr, nullptr, const_cast<char*>("qrve2eproc.dll"),
                                             const_cast<char*>("QrvE2eProc")) != FALSE;
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS)
            RegCloseKey(key);
        const char command[] = "qe2estat.exe";
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "QUORVEL E2E Status", REG_SZ, command, sizeof command);
        if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
            const std::string binary = bed::TestDirectory() + "slow_service.exe";
            if (SC_HANDLE service = CreateServiceA(manager, "QrvE2eService", "QrvE2eService", SERVICE_ALL_ACCESS,
                                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                   SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr,
                                                   nullptr, nullptr))
                CloseServiceHandle(service);
            CloseServiceHandle(manager);
        }
        hook_ = machine::DriverDirectory() + "qhook_e2e.dll";
        CopyFileA((bed::TestDirectory() + "hook_standin.dll").c_str(), hook_.c_str(), FALSE);
        log_ = bed::TestDirectory() + "e2e_hook.log";
        DeleteFileA(log_.c_str());
        SetEnvironmentVariableA("HOOK_STANDIN_LOG", log_.c_str());
    }
    ~PackageExtras()
    {
        SetEnvironmentVariableA("HOOK_STANDIN_LOG", nullptr);
        DeleteFileA(log_.c_str());
        DeleteFileA(hook_.c_str());
        if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
            if (SC_HANDLE service = OpenServiceA(manager, "QrvE2eService", SERVICE_ALL_ACCESS)) {
                DeleteService(service);
                CloseServiceHandle(service);
            }
            CloseServiceHandle(manager);
        }
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "QUORVEL E2E Status");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMonitorKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProcessorKey);
        DeleteFileA(processorFile_.c_str());
    }
    PackageExtras(const PackageExtras&) = delete;
    PackageExtras& operator=(const PackageExtras&) = delete;

    bool Ready() const
    {
        return processorAdded_ && bed::MachineKeyExists(kProcessorKey) && bed::MachineKeyExists(kMonitorKey) &&
               RunValueExists("QUORVEL E2E Status") && ServiceExists("QrvE2eService") &&
               GetFileAttributesA(hook_.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // Lines the hook wrote: one per call.
    int HookCalls() const
    {
        std::FILE* f = std::fopen(log_.c_str(), "rb");
        if (!f)
            return 0;
        int lines = 0;
        for (int c; (c = std::fgetc(f)) != EOF;)
            lines += c == '\n';
        std::fclose(f);
        return lines;
    }

private:
    std::string processorFile_;
    bool processorAdded_ = false;
    std::string hook_;
    std::string log_;
};

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\";
}

inline bool ValueExists(const char* key, const char* name)
{
    return RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

inline std::string Content(const std::string& path)
{
    std::string content;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;)
            content.push_back(static_cast<char>(c));
        std::fclose(f);
    }
    return content;
}

// What the package of "Lumenta C" put on the machine, listed or not, with
// one of its files held open as a running program would. All of it is
// taken away again when the test ends.
struct PackageFiles {
    PackageFiles()
    {
        for (const char* name : {"QLE2ELIB.DLL", "QLE2EOTHER.DLL"}) {
            bed::WriteFile(system + name, "MZ");
            bed::WriteFile(drivers + name, "MZ");
        }
        bed::WriteFile(system + "QLE2EINUSE.DLL", "MZ");
        held = CreateFileA((system + "QLE2EINUSE.DLL").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        HKEY key = nullptr;
        for (const char* path : {"SOFTWARE\\QUORVEL\\E2eTree\\Sub\\Deeper", "SOFTWARE\\QUORVEL\\E2eValues"}) {
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegCloseKey(key);
        }
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eValues", "Gone", REG_SZ, "1", 2);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eValues", "Stays", REG_SZ, "1", 2);
        bed::WriteFile(ini, "[Settings]\r\nKeep=1\r\nRemove=1\r\n");
        for (const std::string& group : {group, otherGroup}) {
            CreateDirectoryA(group.c_str(), nullptr);
            bed::WriteFile(group + "Status Monitor.lnk", "L");
        }
    }
    ~PackageFiles()
    {
        CloseHandle(held);
        for (const char* name : {"QLE2ELIB.DLL", "QLE2EOTHER.DLL", "QLE2EINUSE.DLL"}) {
            DeleteFileA((system + name).c_str());
            DeleteFileA((drivers + name).c_str());
        }
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eTree");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eValues");
        DeleteFileA(ini.c_str());
        for (const std::string& folder : {group, otherGroup}) {
            DeleteFileA((folder + "Status Monitor.lnk").c_str());
            RemoveDirectoryA(folder.c_str());
        }
    }
    PackageFiles(const PackageFiles&) = delete;
    PackageFiles& operator=(const PackageFiles&) = delete;

    const std::string system = Folder(CSIDL_SYSTEM);
    const std::string drivers = machine::DriverDirectory() + "3\\";
    const std::string ini = Folder(CSIDL_WINDOWS) + "qe2e.ini";
    const std::string group = Folder(CSIDL_PROGRAMS) + "QUORVEL E2E\\";
    const std::string otherGroup = Folder(CSIDL_PROGRAMS) + "QUORVEL E2E Other\\";
    HANDLE held = INVALID_HANDLE_VALUE;
};

} // namespace e2e
