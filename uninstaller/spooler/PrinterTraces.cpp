#include "PrinterTraces.h"

#include <winspool.h>

#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "../common/PrinterHandle.h"
#include "../common/RegistryReads.h"

namespace {

constexpr char kUniqueId[] = "UniqueID";
constexpr DWORD kUniqueIdBytes = 32;

const char* const kUserPrinterKeys[] = {
    "Printers\\DevModes2",
    "Printers\\Settings",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts",
};

constexpr char kSpoolerPrinterKey[] = "HKLM,\"System\\CurrentControlSet\\control\\Print\\Printers\\";

} // namespace

bool ReadUniqueId(HANDLE printer, char (&id)[kUniqueIdBytes + 1])
{
    // One byte more than offered, so a value that fills the buffer stays a text.
    std::memset(id, 0, sizeof id);
    DWORD needed = 0;
    const bool read = GetPrinterDataA(printer, const_cast<char*>(kUniqueId), nullptr, reinterpret_cast<BYTE*>(id),
                                      kUniqueIdBytes, &needed) == ERROR_SUCCESS &&
                      IsBracedIdentifier(id);
    if (!read)
        id[0] = '\0';
    return read;
}

bool IsBracedIdentifier(const char* value)
{
    const std::size_t length = std::strlen(value);
    return length > 2 && value[0] == '{' && value[length - 1] == '}' && std::strchr(value, '\\') == nullptr;
}

ItemList UniqueIdsOfStayingPrinters(const RemovalState& state)
{
    ItemList ids;
    if (!state.Database)
        return ids;
    for (const CActivePrinter& printer : state.Database->Printers) {
        if (printer.Stays() && printer.ServerName[0] == '\0' && printer.UniqueId[0] != '\0')
            ids.emplace_back(printer.UniqueId);
    }
    return ids;
}

void RemoveUniqueIdKey(RemovalState& state, const char* id, const ItemList& staying)
{
    // A copy of the queue, or another queue of the package, that stays may
    // carry the same identifier: its key stays with it.
    if (!id || !IsBracedIdentifier(id) || HoldsItem(staying, id))
        return;
    const std::string item = std::string("HKCR\\") + id;
    if (!KeyExists(HKEY_CLASSES_ROOT, id)) {
        journal::NotPresent(journal::op::kPrinterTrace, item.c_str());
        return;
    }
    state.Changes.DeleteRegistryKey(journal::op::kPrinterTrace, item.c_str(), HKEY_CLASSES_ROOT, id, true);
}

UserTraces PrinterUserTraces(RemovalState& state, const char* printerName)
{
    UserTraces traces;
    if (!state.Platform.isNT())
        return traces;
    for (const char* path : kUserPrinterKeys) {
        if (ValueExists(HKEY_CURRENT_USER, path, printerName))
            traces.push_back({HKEY_CURRENT_USER, path, std::string("HKCU\\") + path + "\\" + printerName});
    }
    for (const UserHive& hive : state.Users.Others()) {
        for (const char* path : kUserPrinterKeys) {
            const std::string key = hive.Key + "\\" + path;
            if (ValueExists(HKEY_USERS, key.c_str(), printerName))
                traces.push_back({HKEY_USERS, key, hive.Item + "\\" + path + "\\" + printerName});
        }
    }
    return traces;
}

void RemovePrinterUserTraces(RemovalState& state, const char* printerName, const UserTraces& traces)
{
    if (state.Platform.isNT()) {
        for (const UserTrace& trace : traces)
            state.Changes.DeleteRegistryValue(journal::op::kPrinterTrace, trace.Item.c_str(), trace.Root,
                                              trace.Key.c_str(), printerName, true);
    }
    if (state.Platform.isWin9x() && state.Database) {
        // An unclosed quote and no tree field: the registry step strips
        // quotes at both ends and deletes exactly that one key.
        // Items are list texts of at most 259 characters; a cut one would
        // name another key, so a name too long for them gets none.
        const std::string key = std::string(kSpoolerPrinterKey) + printerName;
        const std::string data = key + "\\PrinterDriverData,\"\"";
        if (data.size() < text::kMaxText) {
            AddToPlan(*state.Database, &UninstallProfile::RegistryKeys, data);
            AddToPlan(*state.Database, &UninstallProfile::RegistryKeys, key + ",\"\"");
        }
    }
}
