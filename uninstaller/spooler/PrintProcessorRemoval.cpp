#include "PrintProcessorRemoval.h"

#include <winspool.h>

#include <string>
#include <vector>

#include "../common/Journal.h"
#include "Environment.h"
#include "PrinterHandle.h"

namespace {

constexpr char kWin9xProcessorsKey[] =
    "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Print Processors\\";
constexpr char kEnvironmentsKey[] = "System\\CurrentControlSet\\control\\Print\\Environments\\";

// Reads the printer's level-2 record, lets `change` alter it and writes it back.
template <typename Change>
int ChangePrinterRecord(const char* printer, Change change)
{
    PrinterHandle handle = OpenPrinterFor(printer, PRINTER_ALL_ACCESS);
    if (!handle)
        return 0;
    DWORD needed = 0;
    GetPrinterA(handle.Get(), 2, nullptr, 0, &needed);
    if (needed == 0)
        return 0;
    std::vector<BYTE> buffer(needed, 0);
    if (!GetPrinterA(handle.Get(), 2, buffer.data(), needed, &needed))
        return 0;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    change(*info);
    return SetPrinterA(handle.Get(), 2, buffer.data(), 0) ? 1 : 0;
}

} // namespace

int SetPrinterPrintProcessor(const char* printer, const char* processor)
{
    return ChangePrinterRecord(printer,
                               [&](PRINTER_INFO_2A& info) { info.pPrintProcessor = const_cast<char*>(processor); });
}

int SetPrinterDatatype(const char* printer, const char* datatype)
{
    return ChangePrinterRecord(printer, [&](PRINTER_INFO_2A& info) { info.pDatatype = const_cast<char*>(datatype); });
}

namespace {

// `user` names the printer that stays on the processor when one does.
int MovePrintersOff(const char* processor, std::string& user)
{
    DWORD needed = 0, returned = 0;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        user = "the printers could not be listed";
        return 0;
    }
    if (needed == 0)
        return 1;
    std::vector<BYTE> buffer(needed, 0);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned)) {
        user = "the printers could not be listed";
        return 0;
    }
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    const std::string move = journal::Reason("move to print processor \"%s\"", kBuiltInPrintProcessor);
    int result = 1;
    for (DWORD i = 0; i < returned; ++i) {
        const PRINTER_INFO_2A& p = printers[i];
        if (!p.pPrinterName || !p.pPrintProcessor || !text::FoldEqual(p.pPrintProcessor, processor) ||
            journal::Gone(journal::op::kPrinter, p.pPrinterName))
            continue;
        if (journal::WouldChange(journal::op::kPrinter, p.pPrinterName, move.c_str()))
            continue;
        if (SetPrinterPrintProcessor(p.pPrinterName, kBuiltInPrintProcessor)) {
            SetPrinterDatatype(p.pPrinterName, kBuiltInDatatype);
            journal::Changed(journal::op::kPrinter, p.pPrinterName,
                             journal::Reason("moved to print processor \"%s\"", kBuiltInPrintProcessor).c_str());
        } else {
            if (result == 1)
                user = journal::Reason("used by printer \"%s\"", p.pPrinterName);
            result = 0;
        }
    }
    return result;
}

} // namespace

int CanRemovePrintProcessor(const char* processor)
{
    std::string user;
    return MovePrintersOff(processor, user);
}

void RemovePrintProcessors(RemovalState& state, const char* environment)
{
    if (!state.Database)
        return;
    char* env = const_cast<char*>(environment);
    DWORD needed = 0, returned = 0;
    EnumPrintProcessorsA(nullptr, env, 1, nullptr, 0, &needed, &returned);
    if (needed == 0)
        return;
    std::vector<BYTE> buffer(needed, 0);
    if (!EnumPrintProcessorsA(nullptr, env, 1, buffer.data(), needed, &needed, &returned) || returned == 0)
        return;
    const auto* processors = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        const char* name = processors[i].pName;
        // The printers of a removed processor were moved onto this one.
        if (!name || text::FoldEqual(name, kBuiltInPrintProcessor))
            continue;
        if (!HoldsItem(state.Database->Merged.PrintProcessors, name))
            continue;
        std::string user;
        if (!MovePrintersOff(name, user)) {
            journal::Kept(journal::op::kPrintProcessor, name, user.c_str());
            continue;
        }
        std::string key;
        if (state.Platform.isWin9x()) {
            key = kWin9xProcessorsKey;
        } else if (state.Platform.isNT()) {
            key = kEnvironmentsKey;
            key += (environment && *environment) ? environment : kRunningEnvironment;
            key += "\\Print Processors\\";
        }
        if (!key.empty())
            key += name;
        const std::string keyItem = "HKLM\\" + key;
        if (journal::WouldRemove(journal::op::kPrintProcessor, name)) {
            HKEY open = nullptr;
            if (!key.empty() && RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &open) == ERROR_SUCCESS) {
                RegCloseKey(open);
                journal::WouldRemove(journal::op::kRegistryKey, keyItem.c_str());
            }
            continue;
        }
        // A processor the spooler keeps keeps its key.
        if (!DeletePrintProcessorA(nullptr, env, const_cast<char*>(name))) {
            journal::Failed(journal::op::kPrintProcessor, name, GetLastError());
            continue;
        }
        journal::Removed(journal::op::kPrintProcessor, name);
        if (key.empty())
            continue;
        const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        if (result == ERROR_SUCCESS)
            journal::Removed(journal::op::kRegistryKey, keyItem.c_str());
        else if (result != ERROR_FILE_NOT_FOUND)
            journal::Failed(journal::op::kRegistryKey, keyItem.c_str(), static_cast<DWORD>(result));
    }
}
