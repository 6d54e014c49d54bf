#include "PrinterTraces.h"

#include <winspool.h>

#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Journal.h"
#include "PrinterHandle.h"

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

RegistryKey OpenKey(HKEY root, const char* subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS)
        return RegistryKey{};
    return RegistryKey{key};
}

bool ReadUniqueId(HANDLE printer, char (&id)[kUniqueIdBytes + 1])
{
    // One byte more than offered, so a value that fills the buffer stays a text.
    std::memset(id, 0, sizeof id);
    DWORD needed = 0;
    return GetPrinterDataA(printer, const_cast<char*>(kUniqueId), nullptr, reinterpret_cast<BYTE*>(id),
                           kUniqueIdBytes, &needed) == ERROR_SUCCESS &&
           IsBracedIdentifier(id);
}

} // namespace

bool IsBracedIdentifier(const char* value)
{
    const std::size_t length = std::strlen(value);
    return length > 2 && value[0] == '{' && value[length - 1] == '}' && std::strchr(value, '\\') == nullptr;
}

ItemList UniqueIdsOfStayingPrinters(const std::list<CActivePrinter>& printers)
{
    ItemList ids;
    for (const CActivePrinter& printer : printers) {
        const bool stays = printer.Removed == 0 && (printer.ToRemove == 0 || printer.Foreign != 0);
        if (!stays || printer.ServerName[0] != '\0')
            continue;
        HANDLE opened = nullptr;
        if (!OpenPrinterA(const_cast<char*>(printer.PrinterName), &opened, nullptr))
            continue;
        const PrinterHandle queue(opened);
        char id[kUniqueIdBytes + 1];
        if (ReadUniqueId(queue.Get(), id))
            ids.emplace_back(id);
    }
    return ids;
}

void RemoveUniqueIdKey(HANDLE printer, const ItemList& staying)
{
    char id[kUniqueIdBytes + 1];
    // A copy of the queue, or another queue of the package, that stays may
    // carry the same identifier: its key stays with it.
    if (!ReadUniqueId(printer, id) || HoldsItem(staying, id))
        return;
    const std::string item = std::string("HKCR\\") + id;
    if (journal::WouldRemove(journal::op::kPrinterTrace, item.c_str()))
        return;

    if (RegistryKey key = OpenKey(HKEY_CLASSES_ROOT, id)) {
        char subKey[256] = {};
        // Index 0 again after each deletion; a subkey that can't go would be
        // found again forever, so the first refusal ends the loop.
        while (RegEnumKeyA(key.Get(), 0, subKey, sizeof subKey) == ERROR_SUCCESS) {
            if (RegDeleteKeyA(key.Get(), subKey) != ERROR_SUCCESS)
                break;
        }
    }
    const LONG result = RegDeleteKeyA(HKEY_CLASSES_ROOT, id);
    if (result == ERROR_SUCCESS)
        journal::Removed(journal::op::kPrinterTrace, item.c_str());
    else if (result == ERROR_FILE_NOT_FOUND)
        journal::NotPresent(journal::op::kPrinterTrace, item.c_str());
    else
        journal::Failed(journal::op::kPrinterTrace, item.c_str(), static_cast<DWORD>(result));
}

void RemovePrinterUserTraces(RemovalState& state, const char* printerName)
{
    if (state.Platform.isNT()) {
        for (const char* path : kUserPrinterKeys) {
            RegistryKey key = OpenKey(HKEY_CURRENT_USER, path);
            if (!key)
                continue;
            const std::string item = std::string("HKCU\\") + path + "\\" + printerName;
            // The spooler deletes these itself with the queue, as a rule;
            // said, so that the log tells where the dry run's entry went.
            if (RegQueryValueExA(key.Get(), printerName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                if (!journal::DryRun())
                    journal::NotPresent(journal::op::kPrinterTrace, item.c_str());
                continue;
            }
            if (journal::WouldRemove(journal::op::kPrinterTrace, item.c_str()))
                continue;
            const LONG result = RegDeleteValueA(key.Get(), printerName);
            if (result == ERROR_SUCCESS)
                journal::Removed(journal::op::kPrinterTrace, item.c_str());
            else
                journal::Failed(journal::op::kPrinterTrace, item.c_str(), static_cast<DWORD>(result));
        }
    }
    if (state.Platform.isWin9x() && state.Database) {
        // An unclosed quote and no tree field: the registry step strips
        // quotes at both ends and deletes exactly that one key.
        // Items are list texts of at most 259 characters; a cut one would
        // name another key, so a name too long for them gets none.
        ItemList& items = state.Database->Merged.RegistryKeys;
        const std::string key = std::string(kSpoolerPrinterKey) + printerName;
        const std::string data = key + "\\PrinterDriverData,\"\"";
        if (data.size() < text::kMaxText) {
            items.push_back(data);
            items.push_back(key + ",\"\"");
        }
    }
}
