#include "PrinterRemoval.h"

#include <winspool.h>

#include <algorithm>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "../common/Journal.h"
#include "../common/PrinterHandle.h"
#include "../common/RegistryReads.h"
#include "../common/TwoCall.h"
#include "../res/resource.h"
#include "../script/DatabaseBuild.h"
#include "../script/FileSpec.h"
#include "../script/MessageBox.h"
#include "../system/UsbDevice.h"
#include "PrinterTraces.h"

namespace {

constexpr DWORD kMaxJobs = 100;

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

// Deletes the first jobs the queue reports; nobody is asked.
// Jobs that can't be listed go with the queue.
void RemoveJobs(RemovalState& state, HANDLE printer, const char* printerName)
{
    DWORD returned = 0;
    const auto listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return EnumJobsA(printer, 0, kMaxJobs, 1, data, size, needed, &returned) != FALSE;
    });
    if (!listed || listed->empty())
        return;
    const auto* jobs = reinterpret_cast<const JOB_INFO_1A*>(listed->data());
    for (DWORD i = 0; i < returned; ++i) {
        const std::string job = journal::Reason("%s job %lu", printerName, jobs[i].JobId);
        state.Changes.DeleteJob(printer, jobs[i].JobId, job.c_str());
    }
}

// A queue that can't be opened counts as gone only when the spooler says it
// doesn't exist; refused access or a busy spooler leave it where it is.
enum class LocalOutcome { Deleted, Gone, Kept };

// The identifiers name the whole model, whichever driver a queue of it
// uses: a device goes only when no queue still installed prints through
// its port. A device whose port can't be read stays while any printer of
// the maker does.
std::string DeviceKeepReason(RemovalState& state, const char* port)
{
    if (!port || !*port) {
        bool makerStays = MakerStays(*state.Database);
        for (const CActivePrinter& printer : state.Database->Printers)
            makerStays = makerStays || printer.Goes(); // chosen, yet still installed
        return makerStays ? "its port could not be read, and a printer of the maker stays" : std::string();
    }
    const std::vector<ListedPrinter>* listed = state.Printers.Now();
    if (!listed)
        return "the printers could not be listed";
    for (const ListedPrinter& printer : *listed) {
        if (printer.UsesPort(port))
            return journal::Reason("printer \"%s\" prints through its port %s", printer.Name.c_str(), port);
    }
    return {};
}

LocalOutcome RemoveLocalPrinter(RemovalState& state, const CActivePrinter& printer, const char* name,
                                const ItemList& stayingIds)
{
    PrinterHandle handle = OpenPrinterFor(name, PRINTER_ALL_ACCESS);
    if (!handle) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PRINTER_NAME) {
            journal::NotPresent(journal::op::kPrinter, name);
            RemovePrinterUserTraces(state, name, PrinterUserTraces(state, name));
            return LocalOutcome::Gone;
        }
        journal::Failed(journal::op::kPrinter, name, error);
        return LocalOutcome::Kept;
    }
    text::CopyWhole(state.CurrentPrinter, printer.PrinterName);
    text::CopyWhole(state.CurrentDriver, printer.DriverName);
    RemoveJobs(state, handle.Get(), name);
    // What the user's profile holds of the queue, seen before the spooler
    // may take it along with the queue.
    const UserTraces traces = PrinterUserTraces(state, name);
    // A queue the spooler keeps keeps its traces too.
    if (!state.Changes.DeletePrinter(handle.Get(), name))
        return LocalOutcome::Kept;
    RemoveUniqueIdKey(state, printer.UniqueId, stayingIds);
    RemovePrinterUserTraces(state, name, traces);
    return LocalOutcome::Deleted;
}

// The driver file's name without directory or extension, as Win32s's
// profile entry names the driver.
bool DriverBaseName(const char* printerName, char (&base)[text::kMaxText])
{
    HANDLE opened = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printerName), &opened, nullptr))
        return false;
    PrinterHandle handle{opened};
    const auto record = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return GetPrinterDriverA(handle.Get(), nullptr, 2, data, size, needed) != FALSE;
    });
    if (!record || record->empty())
        return false;
    const auto* info = reinterpret_cast<const DRIVER_INFO_2A*>(record->data());
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

void Tell(RemovalState& state, const char* message)
{
    ShowMessage(nullptr, message, state.Texts.GetText(IDS_TITLE), MB_OK);
}

// Whether a run of this session took the printer away.
bool RemovedBefore(const DatabaseContent& db, const std::string& name)
{
    for (const CActivePrinter& printer : db.Printers) {
        if (printer.Removed && text::FoldEqual(printer.PrinterName, name))
            return true;
    }
    return false;
}

// The printer to become the default, among those installed now: the last
// of the staying ones in the inventory's order, or else the first other
// one the spooler lists. A printer a run of this session took away is none
// of them, even while the spooler still lists it. Without a listing, the
// last staying one. Empty when there is none.
// The listed printer of that choice, only this computer's own queues when
// `localOnly`; nullptr when there is none or no listing.
const ListedPrinter* NextDefault(RemovalState& state, const std::vector<std::string>& staying, bool localOnly)
{
    const std::vector<ListedPrinter>* listed = state.Printers.Now();
    if (!listed)
        return nullptr;
    const auto candidate = [&](const ListedPrinter& printer) {
        return !(localOnly && printer.Connection) && !RemovedBefore(*state.Database, printer.Name) &&
               printer.Name.size() < text::kMaxText;
    };
    for (auto name = staying.rbegin(); name != staying.rend(); ++name) {
        for (const ListedPrinter& printer : *listed) {
            if (text::FoldEqual(printer.Name, *name) && candidate(printer))
                return &printer;
        }
    }
    for (const ListedPrinter& printer : *listed) {
        if (candidate(printer))
            return &printer;
    }
    return nullptr;
}

void ChooseNewDefault(RemovalState& state, const std::vector<std::string>& staying, char (&chosen)[text::kMaxText])
{
    chosen[0] = '\0';
    if (!state.Printers.Now()) {
        if (!staying.empty())
            text::CopyWhole(chosen, staying.back());
        return;
    }
    if (const ListedPrinter* next = NextDefault(state, staying, false))
        text::CopyWhole(chosen, next->Name);
}

// The key below a user's Printers\Connections that holds a connection:
// "\\SERVER\Printer" written ",,SERVER,Printer". Empty when the name is no
// such connection.
std::string ConnectionKey(const CActivePrinter& printer)
{
    std::string name = printer.PrinterName;
    if (name.rfind("\\\\", 0) != 0)
        name = std::string(printer.ServerName) + "\\" + name;
    if (name.rfind("\\\\", 0) != 0 || name.size() <= 2 || name.find('\\', 2) == std::string::npos)
        return {};
    for (char& c : name) {
        if (c == '\\')
            c = ',';
    }
    return name;
}

// The other users' own connections to a printer whose connection this run
// removed go too; their names, "\\SERVER\Printer", per hive, into `gone`.
void RemoveOtherUsersConnections(RemovalState& state, std::vector<std::pair<std::string, std::string>>& gone)
{
    if (!state.Platform.isNT())
        return;
    for (const CActivePrinter& printer : state.Database->Printers) {
        if (!printer.Removed || printer.ServerName[0] == '\0')
            continue;
        const std::string key = ConnectionKey(printer);
        if (key.empty())
            continue;
        for (const UserHive& hive : state.Users.Others()) {
            const std::string path = hive.Key + "\\Printers\\Connections\\" + key;
            if (!KeyExists(HKEY_USERS, path.c_str()))
                continue;
            const std::string item = hive.Item + "\\Printers\\Connections\\" + key;
            if (state.Changes.DeleteRegistryKey(journal::op::kConnection, item.c_str(), HKEY_USERS, path.c_str(), true)) {
                std::string name = key;
                for (char& c : name) {
                    if (c == ',')
                        c = '\\';
                }
                gone.emplace_back(hive.Sid, name);
            }
        }
    }
}

// The other users whose default printer this run removed get the new
// default the current user would get, or none: their hive's "Device" value
// names it, "<printer>,winspool,<port>", and Windows follows it when they
// log on.
void MoveOtherUsersDefaults(RemovalState& state, const std::vector<std::string>& staying,
                            const std::vector<std::pair<std::string, std::string>>& connectionsGone)
{
    constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    if (!state.Platform.isNT())
        return;
    for (const UserHive& hive : state.Users.Others()) {
        const std::string key = hive.Key + "\\" + kWindowsKey;
        const RegistryText device = ReadRegistryText(HKEY_USERS, key.c_str(), "Device");
        if (!device.Text)
            continue;
        const std::string printer = device.Text->substr(0, device.Text->find(','));
        // A queue of this computer that went, or this user's own connection
        // that went: a connection the current user removed is that user's.
        const bool removed =
            std::any_of(state.Database->Printers.begin(), state.Database->Printers.end(),
                        [&](const CActivePrinter& p) {
                            return p.Removed != 0 && p.ServerName[0] == '\0' && text::FoldEqual(p.PrinterName, printer);
                        }) ||
            std::any_of(connectionsGone.begin(), connectionsGone.end(), [&](const auto& gone) {
                return text::FoldEqual(gone.first, hive.Sid) && text::FoldEqual(gone.second, printer);
            });
        if (printer.empty() || !removed)
            continue;
        const std::string item = hive.Item + "\\" + kWindowsKey + "\\Device";
        // As for the current user, but among this computer's own queues:
        // the current user's connections are not theirs. Without a listing
        // nothing is known to be there, and the value only goes.
        const ListedPrinter* next = NextDefault(state, staying, true);
        if (!next) {
            state.Changes.DeleteRegistryValue(journal::op::kDefaultPrinter, item.c_str(), HKEY_USERS, key.c_str(),
                                              "Device");
            continue;
        }
        const std::string line = next->Name + ",winspool," + next->Port;
        state.Changes.SetRegistryText(journal::op::kDefaultPrinter, item.c_str(), HKEY_USERS, key.c_str(), "Device",
                                      line.c_str());
    }
}

} // namespace

int SetNewDefaultPrinter(RemovalState& state, char (&name)[text::kMaxText])
{
    if (name[0] == '\0') {
        const std::vector<ListedPrinter>* printers = state.Printers.Now();
        if (!printers || printers->empty() || !text::CopyWhole(name, printers->front().Name))
            return 0;
    }
    // NT sets the default itself, a connection's too: opening a printer of
    // another computer to manage it is what a local administrator may not.
    if (state.Platform.isNT())
        return state.Changes.SetUserDefaultPrinter(name, state.Platform) ? 1 : 0;
    PrinterHandle handle = OpenPrinterFor(name, PRINTER_ALL_ACCESS);
    if (!handle) {
        journal::Failed(journal::op::kDefaultPrinter, name, GetLastError());
        return 0;
    }
    std::optional<std::vector<BYTE>> record = PrinterRecord(handle.Get());
    if (record && record->empty())
        record.reset();
    const auto* info = record ? reinterpret_cast<const PRINTER_INFO_2A*>(record->data()) : nullptr;
    std::string line;
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
        line = std::string(name) + "," + driverField + "," + (info->pPortName ? info->pPortName : "");
    }
    const bool changed = state.Changes.MakeDefaultPrinter(handle.Get(), name, record ? &*record : nullptr,
                                                          line.empty() ? nullptr : line.c_str(), state.Platform);
    return changed ? 1 : 0;
}

void RemovePrinters(RemovalState& state)
{
    if (!state.Database)
        return;
    const UsbIdentity usb = ReadUsbIdentity();
    const ItemList stayingIds = UniqueIdsOfStayingPrinters(state);
    std::vector<std::string> staying;
    bool defaultRemoved = false;
    bool anyDeleted = false;

    for (CActivePrinter& printer : state.Database->Printers) {
        char name[text::kMaxText] = {};
        text::CopyWhole(name, printer.PrinterName);
        if (!printer.Goes()) {
            staying.emplace_back(name);
            continue;
        }
        if (printer.ServerName[0] != '\0') {
            if (state.Changes.DeleteConnection(name)) {
                printer.Removed = 1;
                defaultRemoved = defaultRemoved || printer.IsDefault != 0;
            } else {
                staying.emplace_back(name);
            }
            continue;
        }
        switch (RemoveLocalPrinter(state, printer, name, stayingIds)) {
        case LocalOutcome::Deleted:
            printer.Removed = 1;
            anyDeleted = true;
            defaultRemoved = defaultRemoved || printer.IsDefault != 0;
            break;
        case LocalOutcome::Gone:
            printer.Removed = 1;
            break;
        case LocalOutcome::Kept:
            // The queue is still there, refused or not deleted: it stays,
            // with its user's settings, and may become the default.
            staying.emplace_back(name);
            continue;
        }
    }

    // The maker's USB devices go once every chosen queue has been dealt with,
    // so that what still prints through one is known.
    if (usb.Known() && anyDeleted) {
        RemoveUsbPrinterDevice(state.Changes, usb.HardwareId, usb.Vendor, usb.Product,
                               [&](const char* port) { return DeviceKeepReason(state, port); });
    }

    std::vector<std::pair<std::string, std::string>> connectionsGone;
    RemoveOtherUsersConnections(state, connectionsGone);
    MoveOtherUsersDefaults(state, staying, connectionsGone);
    if (!defaultRemoved)
        return;
    char chosen[text::kMaxText] = {};
    ChooseNewDefault(state, staying, chosen);
    // The user is told of a new default only when there is one.
    if (chosen[0] == '\0' || !SetNewDefaultPrinter(state, chosen)) {
        Tell(state, state.Texts.GetText(IDS_DEFAULT_REMOVED_NONE_LEFT));
        return;
    }
    for (CActivePrinter& printer : state.Database->Printers)
        printer.IsDefault = text::FoldEqual(printer.PrinterName, chosen) ? 1 : 0;
    // wsprintfA never writes more than 1024 bytes.
    char message[1024] = {};
    wsprintfA(message, state.Texts.GetText(IDS_DEFAULT_REMOVED_NEW), chosen);
    Tell(state, message);
}
