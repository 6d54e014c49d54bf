#include "PrinterRemoval.h"

#include <winspool.h>

#include <string>
#include <string_view>
#include <vector>

#include "../res/resource.h"
#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "../common/Journal.h"
#include "../system/UsbDevice.h"
#include "PrinterHandle.h"
#include "PrinterTraces.h"

namespace {

constexpr DWORD kMaxJobs = 100;
constexpr DWORD kBroadcastWaitMs = 1000;
constexpr char kSetAsDefault[] = "set as default";

// The USB identifiers of the maker's devices, from the default script.
struct UsbIdentity {
    char HardwareId[256] = {};
    unsigned Vendor = 0;
    unsigned Product = 0;

    bool Known() const { return HardwareId[0] != '\0' && Vendor != 0 && Product != 0; }
};

UsbIdentity ReadUsbIdentity()
{
    UsbIdentity usb;
    GetPrivateProfileStringA("Strings", "HARDWARE_ID_1", "", usb.HardwareId, sizeof usb.HardwareId,
                             DefaultScriptPath);
    usb.Product = GetPrivateProfileIntA("Strings", "USB_PID", 0, DefaultScriptPath);
    usb.Vendor = GetPrivateProfileIntA("Strings", "USB_VID", 0, DefaultScriptPath);
    return usb;
}

// Cancels, then deletes, the first jobs the queue reports; nobody is asked.
void RemoveJobs(HANDLE printer, const char* printerName)
{
    DWORD needed = 0, returned = 0;
    EnumJobsA(printer, 0, kMaxJobs, 1, nullptr, 0, &needed, &returned);
    if (needed == 0)
        return;
    std::vector<BYTE> buffer(needed);
    if (!EnumJobsA(printer, 0, kMaxJobs, 1, buffer.data(), needed, &needed, &returned))
        return;
    const auto* jobs = reinterpret_cast<const JOB_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        const std::string job = journal::Reason("%s job %lu", printerName, jobs[i].JobId);
        if (journal::WouldRemove(journal::op::kJob, job.c_str()))
            continue;
        SetJobA(printer, jobs[i].JobId, 0, nullptr, JOB_CONTROL_CANCEL);
        if (SetJobA(printer, jobs[i].JobId, 0, nullptr, JOB_CONTROL_DELETE))
            journal::Removed(journal::op::kJob, job.c_str());
        else
            journal::Failed(journal::op::kJob, job.c_str(), GetLastError());
    }
}

// A queue that can't be opened counts as gone only when the spooler says it
// doesn't exist; refused access or a busy spooler leave it where it is.
enum class LocalOutcome { Deleted, Gone, Kept };

// Some printer that stays uses a driver of that name.
bool StaysOnDriver(const DatabaseContent& db, const char* driverName)
{
    for (const CActivePrinter& other : db.Printers) {
        if (other.ToRemove == 0 && other.Removed == 0 && text::FoldEqual(other.DriverName, driverName))
            return true;
    }
    return false;
}

LocalOutcome RemoveLocalPrinter(RemovalState& state, const CActivePrinter& printer, const char* name,
                                const UsbIdentity& usb, const ItemList& stayingIds)
{
    PrinterHandle handle = OpenPrinterFor(name, PRINTER_ALL_ACCESS);
    if (!handle) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PRINTER_NAME) {
            journal::NotPresent(journal::op::kPrinter, name);
            return LocalOutcome::Gone;
        }
        journal::Failed(journal::op::kPrinter, name, error);
        return LocalOutcome::Kept;
    }
    text::CopyWhole(state.CurrentPrinter, printer.PrinterName);
    text::CopyWhole(state.CurrentDriver, printer.DriverName);
    RemoveJobs(handle.Get(), name);
    RemoveUniqueIdKey(handle.Get(), stayingIds);
    bool deleted = true;
    if (!journal::WouldRemove(journal::op::kPrinter, name)) {
        deleted = DeletePrinter(handle.Get()) != FALSE;
        if (deleted)
            journal::Removed(journal::op::kPrinter, name);
        else
            journal::Failed(journal::op::kPrinter, name, GetLastError());
    }
    // The identifiers name the whole model: its device goes only with the
    // queue, and only when no printer that stays is of that model.
    if (deleted && usb.Known() && !StaysOnDriver(*state.Database, printer.DriverName))
        RemoveUsbPrinterDevice(usb.HardwareId, usb.Vendor, usb.Product);
    return deleted ? LocalOutcome::Deleted : LocalOutcome::Kept;
}

template <typename Info>
bool QueryTwice(std::vector<BYTE>& buffer, Info query)
{
    DWORD needed = 0;
    query(nullptr, 0, &needed);
    if (needed == 0)
        return false;
    buffer.assign(needed, 0);
    return query(buffer.data(), needed, &needed);
}

// The driver file's name without directory or extension, as Win32s's
// profile entry names the driver.
bool DriverBaseName(const char* printerName, char (&base)[text::kMaxText])
{
    HANDLE opened = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printerName), &opened, nullptr))
        return false;
    PrinterHandle handle{opened};
    std::vector<BYTE> buffer;
    if (!QueryTwice(buffer, [&](BYTE* data, DWORD size, DWORD* needed) {
            return GetPrinterDriverA(handle.Get(), nullptr, 2, data, size, needed) != FALSE;
        }))
        return false;
    const auto* info = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
    if (!info->pDriverPath)
        return false;
    const std::string_view path = info->pDriverPath;
    const std::size_t separator = text::LastSeparator(path, text::IsLeadByte);
    std::string_view file = separator == std::string_view::npos ? path : path.substr(separator + 1);
    const std::size_t dot = file.rfind('.');
    if (dot != std::string_view::npos)
        file = file.substr(0, dot);
    return text::CopyWhole(base, file);
}

void BroadcastProfileChange(const PlatformKind& platform)
{
    if (platform.isWin32s()) {
        SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    } else if (platform.isWin9x()) {
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("windows"), 0,
                            kBroadcastWaitMs, nullptr);
    } else if (platform.isNT()) {
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, 0, kBroadcastWaitMs, nullptr);
    }
}

void Tell(RemovalState& state, const char* message)
{
    ShowMessage(state.Page, message, state.Texts.GetText(IDS_TITLE), MB_OK);
}

} // namespace

int SetNewDefaultPrinter(RemovalState& state, char (&name)[text::kMaxText])
{
    if (name[0] == '\0') {
        std::vector<BYTE> list;
        DWORD returned = 0;
        if (!QueryTwice(list, [&](BYTE* data, DWORD size, DWORD* needed) {
                return EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, data, size, needed,
                                     &returned) != FALSE;
            }) ||
            returned == 0)
            return 0;
        // In a dry run the printers it would delete are still listed.
        const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(list.data());
        const PRINTER_INFO_2A* first = nullptr;
        for (DWORD i = 0; i < returned && !first; ++i) {
            if (printers[i].pPrinterName && !journal::Gone(journal::op::kPrinter, printers[i].pPrinterName) &&
                !journal::Gone(journal::op::kConnection, printers[i].pPrinterName))
                first = &printers[i];
        }
        if (!first || !text::CopyWhole(name, first->pPrinterName))
            return 0;
    }
    PrinterHandle handle = OpenPrinterFor(name, PRINTER_ALL_ACCESS);
    if (!handle) {
        journal::Failed(journal::op::kDefaultPrinter, name, GetLastError());
        return 0;
    }
    if (journal::WouldChange(journal::op::kDefaultPrinter, name, kSetAsDefault))
        return 1;

    bool changed = false;
    std::vector<BYTE> buffer;
    const bool gotRecord = QueryTwice(buffer, [&](BYTE* data, DWORD size, DWORD* needed) {
        return GetPrinterA(handle.Get(), 2, data, size, needed) != FALSE;
    });
    auto* info = gotRecord ? reinterpret_cast<PRINTER_INFO_2A*>(buffer.data()) : nullptr;
    if (info) {
        info->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        SetPrinterA(handle.Get(), 2, buffer.data(), 0);
        changed = true;
    }
    if (info && !state.Platform.isWin9x()) {
        char driverField[text::kMaxText] = {};
        text::CopyWhole(driverField, info->pPrintProcessor ? info->pPrintProcessor : "");
        if (state.Platform.isNT()) {
            text::CopyWhole(driverField, "winspool");
        } else if (state.Platform.isWin32s()) {
            char base[text::kMaxText] = {};
            if (DriverBaseName(name, base))
                text::CopyWhole(driverField, base);
        }
        const std::string line = std::string(name) + "," + driverField + "," + (info->pPortName ? info->pPortName : "");
        WriteProfileStringA("windows", "device", line.c_str());
        changed = true;
    }
    BroadcastProfileChange(state.Platform);
    if (changed)
        journal::Changed(journal::op::kDefaultPrinter, name, kSetAsDefault);
    return changed ? 1 : 0;
}

void RemovePrinters(RemovalState& state)
{
    if (!state.Database)
        return;
    const UsbIdentity usb = ReadUsbIdentity();
    const ItemList stayingIds = UniqueIdsOfStayingPrinters(state.Database->Printers);
    char lastStaying[text::kMaxText] = {};
    bool defaultRemoved = false;

    for (CActivePrinter& printer : state.Database->Printers) {
        char name[text::kMaxText] = {};
        text::CopyWhole(name, printer.PrinterName);
        if (!IsToBeRemoved(printer)) {
            text::CopyWhole(lastStaying, name);
            continue;
        }
        if (printer.ServerName[0] != '\0') {
            bool deleted = true;
            if (!journal::WouldRemove(journal::op::kConnection, name)) {
                deleted = DeletePrinterConnectionA(name) != FALSE;
                if (deleted)
                    journal::Removed(journal::op::kConnection, name);
                else
                    journal::Failed(journal::op::kConnection, name, GetLastError());
            }
            if (deleted) {
                printer.Removed = 1;
                defaultRemoved = defaultRemoved || printer.IsDefault != 0;
            } else {
                text::CopyWhole(lastStaying, name);
            }
            continue;
        }
        switch (RemoveLocalPrinter(state, printer, name, usb, stayingIds)) {
        case LocalOutcome::Deleted:
            printer.Removed = 1;
            defaultRemoved = defaultRemoved || printer.IsDefault != 0;
            break;
        case LocalOutcome::Gone:
            printer.Removed = 1;
            break;
        case LocalOutcome::Kept:
            // The queue is still there, refused or not deleted: it stays,
            // with its user's settings, and may become the default.
            text::CopyWhole(lastStaying, name);
            continue;
        }
        RemovePrinterUserTraces(state, name);
    }

    if (!defaultRemoved)
        return;
    if (lastStaying[0] == '\0') {
        Tell(state, state.Texts.GetText(IDS_DEFAULT_REMOVED_NONE_LEFT));
        return;
    }
    if (SetNewDefaultPrinter(state, lastStaying)) {
        for (CActivePrinter& printer : state.Database->Printers)
            printer.IsDefault = text::FoldEqual(printer.PrinterName, lastStaying) ? 1 : 0;
    }
    // wsprintfA never writes more than 1024 bytes.
    char message[1024] = {};
    wsprintfA(message, state.Texts.GetText(IDS_DEFAULT_REMOVED_NEW), lastStaying);
    Tell(state, message);
}
