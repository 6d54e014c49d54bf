#include "DemoState.h"

#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

#include <cstdio>
#include <vector>

#include "DemoPackage.h"
#include "Machine.h"

namespace demo {

namespace {

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\";
}

// printf into the text.
template <typename... Args>
void Put(std::string& out, const char* format, Args... args)
{
    char line[1024];
    std::snprintf(line, sizeof line, format, args...);
    out += line;
}

const char* Mark(bool present) { return present ? "present" : "gone   "; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(const char* key, const char* name)
{
    return RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The spooler's two-call enumeration: the size first, then the entries.
std::vector<BYTE> Enumerated(BOOL (*enumerate)(DWORD&, DWORD&, BYTE*, DWORD), DWORD& count)
{
    DWORD needed = 0;
    count = 0;
    enumerate(needed, count, nullptr, 0);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (needed == 0 || !enumerate(needed, count, buffer.data(), needed))
        count = 0;
    return buffer;
}

void PrintPrinters(std::string& out)
{
    DWORD count = 0;
    const auto buffer = Enumerated(
        [](DWORD& needed, DWORD& returned, BYTE* data, DWORD size) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, &needed, &returned);
        },
        count);
    char device[512] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    const std::string defaultName = std::string(device).substr(0, std::string(device).find(','));
    Put(out, "  printers (%lu):\n", count);
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Put(out, "    %-26s driver \"%s\"%s\n", printers[i].pPrinterName, printers[i].pDriverName,
                    defaultName == printers[i].pPrinterName ? "  (default)" : "");
}

void PrintDrivers(std::string& out)
{
    DWORD count = 0;
    const auto buffer = Enumerated(
        [](DWORD& needed, DWORD& returned, BYTE* data, DWORD size) {
            return EnumPrinterDriversA(nullptr, nullptr, 1, data, size, &needed, &returned);
        },
        count);
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_1A*>(buffer.data());
    for (const char* name : {kLumenta2400, kLumenta3100, kAcme, "Veltrope"}) {
        bool found = false;
        for (DWORD i = 0; i < count; ++i)
            found = found || std::string(drivers[i].pName) == name;
        Put(out, "    %s  %s\n", Mark(found), name);
    }
}

bool ServiceExists()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, kService, SERVICE_QUERY_STATUS) : nullptr;
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return service != nullptr;
}

bool IniLineExists(const std::string& file, const IniLine& line)
{
    char value[256] = {};
    GetPrivateProfileStringA(line.section, line.entry, "\x01", value, sizeof value, file.c_str());
    return value[0] != '\x01';
}

} // namespace

std::string SystemFolder() { return Folder(CSIDL_SYSTEM); }
std::string WindowsFolder() { return Folder(CSIDL_WINDOWS); }
std::string ProgramsFolder() { return Folder(CSIDL_PROGRAMS); }

std::string State(const char* when)
{
    std::string out;
    Put(out, "=== the machine %s ===\n", when);
    PrintPrinters(out);
    Put(out, "  drivers:\n");
    PrintDrivers(out);
    Put(out, "  service:\n    %s  %s\n", Mark(ServiceExists()), kService);
    Put(out, "  start-up entries (HKLM\\%s):\n", kRunKey);
    for (const RunValue& run : kRunValues)
        Put(out, "    %s  %s\n", Mark(ValueExists(kRunKey, run.name)), run.name);
    Put(out, "  files (system folder | driver folder 3):\n");
    const std::string system = SystemFolder(), drivers = machine::DriverDirectory() + "3\\";
    for (const char* name : kFiles)
        Put(out, "    %s | %s  %s\n", Mark(Exists(system + name)), Mark(Exists(drivers + name)), name);
    Put(out, "  registry (HKLM):\n");
    for (const RegistryItem& item : kRegistry) {
        if (item.value)
            Put(out, "    %s  %s  value %s\n", Mark(ValueExists(item.key, item.value)), item.key, item.value);
        else
            Put(out, "    %s  %s\n", Mark(KeyExists(item.key)), item.key);
    }
    const std::string ini = WindowsFolder() + kIniFile;
    Put(out, "  INI lines (%s):\n", ini.c_str());
    for (const IniLine& line : kIniLines)
        Put(out, "    %s  [%s] %s\n", Mark(IniLineExists(ini, line)), line.section, line.entry);
    const std::string group = ProgramsFolder() + kGroup;
    Put(out, "  program group and shortcuts (%s):\n", ProgramsFolder().c_str());
    Put(out, "    %s  %s\\\n", Mark(Exists(group)), kGroup);
    for (const char* shortcut : kShortcuts)
        Put(out, "    %s  %s\\%s\n", Mark(Exists(group + "\\" + shortcut)), kGroup, shortcut);
    Put(out, "  the maker's folder:\n    %s  %s\\\n", Mark(Exists(kOemFolder)), kOemFolder);
    for (const char* name : kOemFolderFiles)
        Put(out, "    %s  %s\\%s\n", Mark(Exists(std::string(kOemFolder) + "\\" + name)), kOemFolder, name);
    Put(out, "  OEM INF:\n    %s  %s%s\n", Mark(Exists(WindowsFolder() + kOemInf)), WindowsFolder().c_str(),
                kOemInf);
    return out;
}

void PrintState(const char* when)
{
    std::fputs(State(when).c_str(), stdout);
    std::fflush(stdout);
}

} // namespace demo
