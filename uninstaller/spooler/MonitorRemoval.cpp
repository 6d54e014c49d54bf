#include "MonitorRemoval.h"

#include <winspool.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../common/DriverEnvironments.h"
#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/TwoCall.h"
#include "../door/SpoolerKeys.h"

namespace {

// A driver still installed may name the monitor as its language monitor.
std::optional<bool> LanguageMonitorOfADriver(const Door& door, const char* monitorName, std::string& user)
{
    for (const char* environment : RemovalEnvironments()) {
        DWORD count = 0;
        const auto drivers = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
            return EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 3, data, size, needed, &count) !=
                   FALSE;
        });
        if (!drivers) {
            if (GetLastError() == ERROR_INVALID_ENVIRONMENT)
                continue;
            return std::nullopt;
        }
        const auto* info = reinterpret_cast<const DRIVER_INFO_3A*>(drivers->data());
        for (DWORD i = 0; !drivers->empty() && i < count; ++i) {
            if (info[i].pMonitorName && text::FoldEqual(info[i].pMonitorName, monitorName) && info[i].pName &&
                !door.DriverGone(environment, info[i].pName)) {
                user = journal::Reason("language monitor of driver \"%s\"", info[i].pName);
                return true;
            }
        }
    }
    return false;
}

// What needs the monitor, as the reason it stays, in `user`.
std::optional<bool> MonitorUsed(RemovalState& state, const char* monitorName, std::string& user)
{
    // The proxy has no port enumeration, and the program imports nothing of
    // the platform's spooler library: this one call is looked up.
    LoadedModule spooler = LoadSystemLibrary("winspool.drv");
    if (!spooler)
        return std::nullopt;
    const auto enumPorts = ProcAddress<decltype(&EnumPortsA)>(spooler.Get(), "EnumPortsA");
    if (!enumPorts)
        return std::nullopt;
    DWORD portCount = 0;
    const auto ports = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return enumPorts(nullptr, 2, data, size, needed, &portCount) != FALSE;
    });
    const std::vector<ListedPrinter>* printers = state.Printers.Now();
    if (!ports || !printers)
        return std::nullopt;
    const auto* portInfo = reinterpret_cast<const PORT_INFO_2A*>(ports->data());
    for (DWORD i = 0; !ports->empty() && i < portCount; ++i) {
        const PORT_INFO_2A& port = portInfo[i];
        if (!port.pPortName || !port.pMonitorName || !text::FoldEqual(port.pMonitorName, monitorName))
            continue;
        for (const ListedPrinter& printer : *printers) {
            if (!printer.Connection && printer.UsesPort(port.pPortName)) {
                user = journal::Reason("in use by port \"%s\" of printer \"%s\"", port.pPortName, printer.Name.c_str());
                return true;
            }
        }
    }
    return LanguageMonitorOfADriver(state.Changes, monitorName, user);
}

} // namespace

void RemoveMonitors(RemovalState& state, const char* environment)
{
    if (!state.Database)
        return;
    for (const std::string& name : state.Database->Merged.Monitors) {
        const char* item = name.c_str();
        const std::string told = EnvironmentItem(environment, item);
        // A monitor a printer still prints through stays, key and all: not
        // every spooler refuses to delete it. Unable to tell, it stays too.
        std::string user;
        const std::optional<bool> inUse = MonitorUsed(state, item, user);
        if (!inUse) {
            journal::Kept(journal::op::kMonitor, told.c_str(), "the ports and printers could not be listed");
            continue;
        }
        if (*inUse) {
            journal::Kept(journal::op::kMonitor, told.c_str(), user.c_str());
            continue;
        }
        // An NT spooler's monitors are the keys under Monitors; Win32s keeps
        // none. The key goes with the monitor, by the spooler's hand or ours.
        const bool keys = !state.Platform.isWin32s();
        const std::string key = MonitorKey(item);
        const std::string keyItem = "HKLM\\" + key;
        const bool keyThere = keys && !state.Changes.KeyGone(keyItem.c_str()) && KeyExists(HKEY_LOCAL_MACHINE, key.c_str());
        const Deletion deleted = state.Changes.DeletePortMonitor(environment, item, keys ? key.c_str() : nullptr, keyThere);
        if ((deleted == Deletion::Done || deleted == Deletion::NotThere) && keyThere)
            state.Changes.DeleteRegistryKey(journal::op::kRegistryKey, keyItem.c_str(), HKEY_LOCAL_MACHINE,
                                            key.c_str(), false, true);
    }
}
