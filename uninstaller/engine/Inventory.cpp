#include "Inventory.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "../common/Journal.h"
#include "../common/PrinterHandle.h"
#include "../spooler/DriverFileNames.h"
#include "../spooler/PrinterTraces.h"
#include "PrinterFilter.h"

namespace {

constexpr char kMakerMarker[] = "QuorvelDriver_Q";
constexpr char kMaskedMarker[] = "VeltPrinter";

// The name of entry `index` of an enumeration at `level` (2, 4 or 5).
const char* EnumeratedName(const std::vector<BYTE>& entries, DWORD level, DWORD index)
{
    switch (level) {
    case 4:
        return reinterpret_cast<const PRINTER_INFO_4A*>(entries.data())[index].pPrinterName;
    case 5:
        return reinterpret_cast<const PRINTER_INFO_5A*>(entries.data())[index].pPrinterName;
    default:
        return reinterpret_cast<const PRINTER_INFO_2A*>(entries.data())[index].pPrinterName;
    }
}

// The default printer as the user's profile names it: "name,driver,port".
void DefaultPrinterName(char (&name)[text::kMaxText])
{
    char device[257] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    if (char* comma = std::strchr(device, ','))
        *comma = '\0';
    text::CopyWhole(name, device);
}

// True when the printer has the data value; its text goes to `out` when
// given and it fits. `error`, when given, gets the error of a read that
// failed for another reason than a missing value.
bool ReadPrinterText(HANDLE printer, const char* value, char* out, DWORD size, DWORD* error = nullptr)
{
    char data[256] = {};
    DWORD type = 0;
    DWORD needed = 0;
    const DWORD result = GetPrinterDataA(printer, const_cast<LPSTR>(value), &type, reinterpret_cast<LPBYTE>(data),
                                         sizeof data, &needed);
    if (result == ERROR_MORE_DATA)
        return out == nullptr; // present, but no text of ours is that long
    if (result != ERROR_SUCCESS) {
        if (error && result != ERROR_FILE_NOT_FOUND)
            *error = result;
        return false;
    }
    if (out) {
        const DWORD length = static_cast<DWORD>(strnlen(data, needed < sizeof data ? needed : sizeof data));
        text::CopyWhole(out, size, std::string_view(data, length));
    }
    return true;
}

constexpr DWORD kEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

InventoryError ErrorFor(const char* printer, InventoryError error)
{
    text::CopyWhole(error.PrinterName, printer ? printer : "");
    return error;
}

// The level-2 enumeration, for the driver and print processor of printers
// whose own record can't be read. Enumerated at most once per build, and
// only when asked.
class Level2Printers {
public:
    // The entry the enumeration gives `printer`, nullptr when it lists none.
    // Throws when the enumeration fails.
    const PRINTER_INFO_2A* EntryOf(const char* printer)
    {
        if (!enumerated_)
            Enumerate(printer);
        const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(entries_.data());
        for (DWORD i = 0; i < count_; ++i) {
            if (info[i].pPrinterName && text::FoldEqual(info[i].pPrinterName, printer))
                return &info[i];
        }
        return nullptr;
    }

private:
    void Enumerate(const char* printer)
    {
        enumerated_ = true;
        DWORD needed = 0;
        DWORD returned = 0;
        if (!EnumPrintersA(kEnumFlags, nullptr, 2, nullptr, 0, &needed, &returned)) {
            const DWORD error = GetLastError();
            if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
                throw ErrorFor(printer, {error, "EnumPrinters", "failed to size the level 2 printer list",
                                         "Bytes needed", needed});
        }
        if (needed == 0)
            return;
        try {
            entries_.resize(needed);
        } catch (const std::bad_alloc&) {
            throw ErrorFor(printer, {GetLastError(), "_alloca", "FAILED to ALLOCA!!!", "Bytes needed", needed});
        }
        if (!EnumPrintersA(kEnumFlags, nullptr, 2, entries_.data(), needed, &needed, &returned))
            throw ErrorFor(printer, {GetLastError(), "EnumPrinters", "failed to enum printers at level 2",
                                     "Bytes needed", needed, "bytes returned", returned});
        count_ = returned;
    }

    bool enumerated_ = false;
    std::vector<BYTE> entries_;
    DWORD count_ = 0;
};

// What reading a printer's level-2 record gave: the record, or the call that
// failed and how.
struct RecordRead {
    const PRINTER_INFO_2A* details = nullptr;
    DWORD error = 0;
    const char* what = nullptr;
};

// Reads into the build's one buffer, grown whenever the spooler asks for more.
RecordRead ReadLevel2(HANDLE printer, std::vector<BYTE>& info)
{
    DWORD needed = 0;
    BOOL ok = GetPrinterA(printer, 2, info.data(), static_cast<DWORD>(info.size()), &needed);
    if (!ok && needed > info.size()) {
        info.resize(needed);
        ok = GetPrinterA(printer, 2, info.data(), static_cast<DWORD>(info.size()), &needed);
    }
    if (!ok) {
        const DWORD error = GetLastError();
        return {nullptr, error, needed == 0 ? "asked for no bytes" : "failed"};
    }
    const auto* details = reinterpret_cast<const PRINTER_INFO_2A*>(info.data());
    if (!details->pDriverName || details->pDriverName[0] == '\0')
        return {nullptr, 0, "gave no driver name"};
    return {details, 0, nullptr};
}

} // namespace

void ComposeInventoryErrorText(const InventoryError& error, char* out, std::size_t size)
{
    const int n = std::snprintf(out, size, "%s \n%s%s \n%s%i \n%s%s \n%s: %i \n%s: %i",
                                "CLoadingDlg::BuildListOfInstalledPrinters failed", "Function: ", error.Function,
                                "Last Error Code: ", static_cast<int>(error.LastError), "Desc: ", error.Description,
                                error.FirstLabel, static_cast<int>(error.FirstValue), error.SecondLabel,
                                static_cast<int>(error.SecondValue));
    if (error.PrinterName[0] != '\0' && n > 0 && static_cast<std::size_t>(n) < size)
        std::snprintf(out + n, size - n, " \nPrinter: %s", error.PrinterName);
}

int InventoryBuild::BuildListOfInstalledPrinters(std::list<CActivePrinter>& printers)
{
    failed_ = false;
    silent_ = false;
    notes_.clear();
    unread_.clear();
    try {
        const int appended = BuildOrThrow(printers);
        // Told once the list stands: a failed build is done again.
        for (const auto& [printer, reason] : unread_)
            journal::Kept(journal::op::kPrinter, printer.c_str(), reason.c_str());
        return appended;
    } catch (const InventoryError& error) {
        // Printers appended before the failure stay in the list.
        failed_ = true;
        silent_ = error.LastError == RPC_S_SERVER_UNAVAILABLE;
        ComposeInventoryErrorText(error, error_, sizeof error_);
        OutputDebugStringA(error_);
        return 0;
    }
}

void InventoryBuild::NoteKeptPrinter(const char* printer, const char* call, DWORD error, const char* what,
                                  const char* driver)
{
    char note[kInventoryErrorTextSize] = {};
    std::snprintf(note, sizeof note,
                  "Printer \"%s\" kept: %s %s (error %lu); driver \"%s\" from EnumPrinters level 2",
                  printer, call, what, static_cast<unsigned long>(error), driver);
    notes_.emplace_back(note);
    OutputDebugStringA(note);
}

void InventoryBuild::NoteUnknownDriverFiles(const char* printer, const char* driver, const DriverFileNames& files)
{
    char note[kInventoryErrorTextSize] = {};
    if (files.Listed())
        std::snprintf(note, sizeof note,
                      "Printer \"%s\": files of driver \"%s\" unknown, EnumPrinterDrivers level 3 lists no such "
                      "driver",
                      printer, driver);
    else
        std::snprintf(note, sizeof note,
                      "Printer \"%s\": files of driver \"%s\" unknown, EnumPrinterDrivers level 3 failed (error "
                      "%lu)",
                      printer, driver, static_cast<unsigned long>(files.Error()));
    notes_.emplace_back(note);
    OutputDebugStringA(note);
}

int InventoryBuild::BuildOrThrow(std::list<CActivePrinter>& printers)
{
    const bool win32s = platform_.isWin32s();
    const DWORD level = platform_.isNT() ? 4 : platform_.isWin9x() ? 5 : 2;

    // A spooler that fails to answer is no machine without printers.
    DWORD needed = 0;
    DWORD returned = 0;
    SetLastError(ERROR_SUCCESS);
    if (!EnumPrintersA(kEnumFlags, nullptr, level, nullptr, 0, &needed, &returned)) {
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            throw InventoryError{error, "EnumPrinters", "failed to size the printer list", "Bytes needed", needed};
    }
    if (needed == 0)
        return 0;

    std::vector<BYTE> entries;
    try {
        entries.resize(needed);
    } catch (const std::bad_alloc&) {
        throw InventoryError{GetLastError(), "_alloca", "FAILED to ALLOCA!!!", "Bytes needed", needed};
    }
    if (!EnumPrintersA(kEnumFlags, nullptr, level, entries.data(), needed, &needed, &returned))
        throw InventoryError{GetLastError(), "EnumPrinters", "failed to enum printers", "Bytes needed", needed,
                             "bytes returned", returned};

    char defaultPrinter[text::kMaxText] = {};
    DefaultPrinterName(defaultPrinter);
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    if (!win32s) {
        DWORD length = sizeof computer;
        if (!GetComputerNameA(computer, &length))
            computer[0] = '\0';
    }
    auto isDefault = [&](const char* name) {
        return defaultPrinter[0] != '\0' && std::strcmp(name, defaultPrinter) == 0;
    };

    // What the queue uses, whatever the scripts say, so that a printer that
    // stays keeps it. Unknown files leave the list empty: the printer still
    // stays, and the note tells.
    DriverFileNames driverFiles;
    auto recordUses = [&](CActivePrinter& record, const char* processor) {
        text::CopyWhole(record.PrintProcessor, processor ? processor : "");
        if (!driverFiles.FilesOf(record.DriverName, record.DriverFiles))
            NoteUnknownDriverFiles(record.PrinterName, record.DriverName, driverFiles);
    };

    // A printer whose record can't be read stays, with the driver another
    // call names, so that its driver's files and the maker's common items
    // stay too. When no call names the driver, nothing is known enough.
    int appended = 0;
    Level2Printers level2;
    auto keepUnreadable = [&](const char* name, const char* call, DWORD error, const char* what) {
        const PRINTER_INFO_2A* entry = level2.EntryOf(name);
        if (!entry || !entry->pDriverName || entry->pDriverName[0] == '\0')
            throw ErrorFor(name, {error, call, "no call gives the printer's driver name", "Printers listed", returned});
        CActivePrinter record;
        text::CopyWhole(record.PrinterName, name);
        text::CopyWhole(record.DriverName, entry->pDriverName);
        record.IsDefault = isDefault(name) ? 1 : 0;
        record.Skip = 1;
        record.Offered = 0;
        NoteKeptPrinter(name, call, error, what, record.DriverName);
        unread_.emplace_back(name, journal::Reason("could not be read: %s failed (error %lu)", call,
                                                   static_cast<unsigned long>(error)));
        recordUses(record, entry->pPrintProcessor);
        printers.push_back(std::move(record));
        ++appended;
    };

    std::vector<BYTE> info;
    for (DWORD i = 0; i < returned; ++i) {
        const char* name = EnumeratedName(entries, level, i);
        if (!name || name[0] == '\0')
            throw InventoryError{ERROR_INVALID_PRINTER_NAME, "EnumPrinters", "a printer without a name", "Entry", i};
        PrinterHandle printer = OpenPrinterFor(name, PRINTER_READ);
        if (!printer) {
            keepUnreadable(name, "OpenPrinter", GetLastError(), "failed");
            continue;
        }
        const RecordRead read = ReadLevel2(printer.Get(), info);
        if (!read.details) {
            keepUnreadable(name, "GetPrinter", read.error, read.what);
            continue;
        }
        const PRINTER_INFO_2A* details = read.details;

        CActivePrinter record;
        DWORD markerError = ERROR_SUCCESS;
        if (win32s || ReadPrinterText(printer.Get(), kMakerMarker, nullptr, 0, &markerError))
            record.IsMakerDriver = 1;
        ReadPrinterText(printer.Get(), kMaskedMarker, record.MaskedName, sizeof record.MaskedName);
        ReadUniqueId(printer.Get(), record.UniqueId);

        const char* printerName = details->pPrinterName ? details->pPrinterName : "";
        record.IsDefault = ((details->Attributes & PRINTER_ATTRIBUTE_DEFAULT) != 0 || isDefault(printerName)) ? 1 : 0;
        text::CopyWhole(record.PrinterName, printerName);
        text::CopyWhole(record.DriverName, details->pDriverName);
        if (!win32s && details->pServerName && details->pServerName[0] != '\0' &&
            !text::FoldEqual(details->pServerName, computer))
            text::CopyWhole(record.ServerName, details->pServerName);

        recordUses(record, details->pPrintProcessor);
        ClassifyPrinter(switches_, record);
        // Without its marker it counts as another maker's printer and stays.
        if (record.Foreign && markerError != ERROR_SUCCESS)
            unread_.emplace_back(printerName, journal::Reason("could not be read: GetPrinterData %s failed (error %lu)",
                                                              kMakerMarker, static_cast<unsigned long>(markerError)));
        printers.push_back(std::move(record));
        ++appended;
    }
    return appended;
}
