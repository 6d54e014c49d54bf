#include "MonitorRemoval.h"

#include <winspool.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "../common/Handles.h"
#include "../common/Journal.h"

namespace {

constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\control\\Print\\Monitors\\";

// One level-2 enumeration with the two-call protocol: false when the
// spooler can't tell; an empty buffer when there is nothing.
template <typename Enumerate>
bool EnumerateTwice(std::vector<BYTE>& buffer, DWORD& returned, Enumerate enumerate)
{
    DWORD needed = 0;
    returned = 0;
    buffer.clear();
    if (enumerate(nullptr, 0, &needed, &returned))
        return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
        return false;
    buffer.assign(needed, 0);
    return enumerate(buffer.data(), needed, &needed, &returned);
}

// A printer may print to several ports, named in one text with commas.
bool NamesPort(const char* portList, std::string_view port)
{
    std::string_view rest = portList ? portList : "";
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view one = rest.substr(0, comma);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (text::FoldEqual(one, port))
            return true;
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return false;
}

// A driver still installed may name the monitor as its language monitor.
std::optional<bool> LanguageMonitorOfADriver(const char* monitorName, std::string& user)
{
    for (const char* environment : {static_cast<const char*>(nullptr), "Windows NT x86", "Windows 4.0"}) {
        std::vector<BYTE> drivers;
        DWORD count = 0;
        const bool listed = EnumerateTwice(drivers, count, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 3, data, size, needed, returned) !=
                   FALSE;
        });
        if (!listed) {
            if (GetLastError() == ERROR_INVALID_ENVIRONMENT)
                continue;
            return std::nullopt;
        }
        const auto* info = reinterpret_cast<const DRIVER_INFO_3A*>(drivers.data());
        for (DWORD i = 0; i < count; ++i) {
            if (info[i].pMonitorName && text::FoldEqual(info[i].pMonitorName, monitorName) && info[i].pName &&
                !journal::Gone(journal::op::kDriver, info[i].pName)) {
                user = journal::Reason("language monitor of driver \"%s\"", info[i].pName);
                return true;
            }
        }
    }
    return false;
}

// What needs the monitor, as the reason it stays, in `user`.
std::optional<bool> MonitorUsed(const char* monitorName, std::string& user)
{
    // The proxy has no port enumeration, and the program imports nothing of
    // the platform's spooler library: this one call is looked up.
    LoadedModule spooler = LoadSystemLibrary("winspool.drv");
    if (!spooler)
        return std::nullopt;
    const auto enumPorts = ProcAddress<decltype(&EnumPortsA)>(spooler.Get(), "EnumPortsA");
    if (!enumPorts)
        return std::nullopt;
    std::vector<BYTE> ports;
    DWORD portCount = 0;
    if (!EnumerateTwice(ports, portCount, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return enumPorts(nullptr, 2, data, size, needed, returned) != FALSE;
        }))
        return std::nullopt;
    std::vector<BYTE> printers;
    DWORD printerCount = 0;
    if (!EnumerateTwice(printers, printerCount, [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned) != FALSE;
        }))
        return std::nullopt;
    const auto* portInfo = reinterpret_cast<const PORT_INFO_2A*>(ports.data());
    const auto* printerInfo = reinterpret_cast<const PRINTER_INFO_2A*>(printers.data());
    for (DWORD i = 0; i < portCount; ++i) {
        const PORT_INFO_2A& port = portInfo[i];
        if (!port.pPortName || !port.pMonitorName || !text::FoldEqual(port.pMonitorName, monitorName))
            continue;
        for (DWORD j = 0; j < printerCount; ++j) {
            const char* printer = printerInfo[j].pPrinterName ? printerInfo[j].pPrinterName : "";
            if (journal::Gone(journal::op::kPrinter, printer))
                continue;
            if (NamesPort(printerInfo[j].pPortName, port.pPortName)) {
                user = journal::Reason("in use by port \"%s\" of printer \"%s\"", port.pPortName, printer);
                return true;
            }
        }
    }
    return LanguageMonitorOfADriver(monitorName, user);
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

std::optional<bool> MonitorInUse(const char* monitorName)
{
    std::string user;
    return MonitorUsed(monitorName, user);
}

void RemoveMonitors(RemovalState& state, const char* environment)
{
    if (!state.Database)
        return;
    for (const std::string& name : state.Database->Merged.Monitors) {
        const char* item = name.c_str();
        // A monitor a printer still prints through stays, key and all: not
        // every spooler refuses to delete it. Unable to tell, it stays too.
        std::string user;
        const std::optional<bool> inUse = MonitorUsed(item, user);
        if (!inUse) {
            journal::Kept(journal::op::kMonitor, item, "the ports and printers could not be listed");
            continue;
        }
        if (*inUse) {
            journal::Kept(journal::op::kMonitor, item, user.c_str());
            continue;
        }
        const std::string key = kMonitorsKey + name;
        const std::string keyItem = "HKLM\\" + key;
        if (journal::DryRun()) {
            // An NT spooler's monitors are the keys under Monitors: without
            // its key the real run finds none.
            const bool keyThere = !state.Platform.isWin32s() &&
                                  !journal::Gone(journal::op::kRegistryKey, keyItem.c_str()) && KeyExists(key);
            if (journal::Gone(journal::op::kMonitor, item) || (!keyThere && !state.Platform.isWin32s()))
                journal::NotPresent(journal::op::kMonitor, item);
            else
                journal::WouldRemove(journal::op::kMonitor, item);
            if (keyThere)
                journal::WouldRemove(journal::op::kRegistryKey, keyItem.c_str());
            continue;
        }
        if (DeleteMonitorA(nullptr, const_cast<char*>(environment), const_cast<char*>(item))) {
            journal::Removed(journal::op::kMonitor, item);
        } else {
            const DWORD error = GetLastError();
            if (error == ERROR_PRINT_MONITOR_IN_USE) {
                journal::Kept(journal::op::kMonitor, item, "refused by the spooler as in use");
                continue;
            }
            if (error == ERROR_UNKNOWN_PRINT_MONITOR)
                journal::NotPresent(journal::op::kMonitor, item);
            else
                journal::Failed(journal::op::kMonitor, item, error);
        }
        if (state.Platform.isWin32s())
            continue;
        const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        if (result == ERROR_SUCCESS)
            journal::Removed(journal::op::kRegistryKey, keyItem.c_str());
        else if (result == ERROR_FILE_NOT_FOUND)
            journal::NotPresent(journal::op::kRegistryKey, keyItem.c_str());
        else
            journal::Failed(journal::op::kRegistryKey, keyItem.c_str(), static_cast<DWORD>(result));
    }
}
