// The inventory of installed printers: every queue and connection the
// spooler lists, with the maker's and the masking product's markers, the
// default printer and the command line's verdict.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "../res/resource.h"
#include "../script/MessageBox.h"
#include "../spooler/PrinterHandle.h"
#include "LoadingDlg.h"
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
// given and it fits.
bool ReadPrinterText(HANDLE printer, const char* value, char* out, DWORD size)
{
    char data[256] = {};
    DWORD type = 0;
    DWORD needed = 0;
    const DWORD result = GetPrinterDataA(printer, const_cast<LPSTR>(value), &type, reinterpret_cast<LPBYTE>(data),
                                         sizeof data, &needed);
    if (result == ERROR_MORE_DATA)
        return out == nullptr; // present, but no text of ours is that long
    if (result != ERROR_SUCCESS)
        return false;
    if (out) {
        const DWORD length = static_cast<DWORD>(strnlen(data, needed < sizeof data ? needed : sizeof data));
        text::CopyWhole(out, size, std::string_view(data, length));
    }
    return true;
}

} // namespace

void ComposeInventoryErrorText(const InventoryError& error, char* out, std::size_t size)
{
    std::snprintf(out, size, "%s \n%s%s \n%s%i \n%s%s \n%s: %i \n%s: %i",
                  "CLoadingDlg::BuildListOfInstalledPrinters failed", "Function: ", error.Function,
                  "Last Error Code: ", static_cast<int>(error.LastError), "Desc: ", error.Description,
                  error.FirstLabel, static_cast<int>(error.FirstValue), error.SecondLabel,
                  static_cast<int>(error.SecondValue));
}

int CLoadingDlg::BuildListOfInstalledPrinters(std::list<CActivePrinter>& printers)
{
    try {
        return BuildInventoryOrThrow(printers);
    } catch (const InventoryError& error) {
        // Printers appended before the failure stay in the list.
        ComposeInventoryErrorText(error, inventoryError_, sizeof inventoryError_);
        OutputDebugStringA(inventoryError_);
        return 0;
    }
}

int CLoadingDlg::BuildInventoryOrThrow(std::list<CActivePrinter>& printers)
{
    const bool win32s = platform_.isWin32s();
    const DWORD level = platform_.isNT() ? 4 : platform_.isWin9x() ? 5 : 2;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

    DWORD needed = 0;
    DWORD returned = 0;
    SetLastError(ERROR_SUCCESS);
    EnumPrintersA(flags, nullptr, level, nullptr, 0, &needed, &returned);
    if (needed == 0) {
        if (GetLastError() == RPC_S_SERVER_UNAVAILABLE) {
            ShowMessage(hwnd, texts_.GetText(IDS_SPOOLER_NO_ANSWER), texts_.GetText(IDS_TITLE), MB_OK | MB_ICONSTOP);
            End(0);
        }
        return 0;
    }

    std::vector<BYTE> entries;
    try {
        entries.resize(needed);
    } catch (const std::bad_alloc&) {
        throw InventoryError{GetLastError(), "_alloca", "FAILED to ALLOCA!!!", "Bytes needed", needed};
    }
    if (!EnumPrintersA(flags, nullptr, level, entries.data(), needed, &needed, &returned))
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

    // One buffer for every printer's level-2 record, grown on demand.
    std::vector<BYTE> info;
    int opened = 0;
    for (DWORD i = 0; i < returned; ++i) {
        const char* name = EnumeratedName(entries, level, i);
        if (!name)
            continue;
        PrinterHandle printer = OpenPrinterFor(name, PRINTER_READ);
        if (!printer)
            continue;
        ++opened;

        CActivePrinter record;
        if (win32s || ReadPrinterText(printer.Get(), kMakerMarker, nullptr, 0))
            record.IsMakerDriver = 1;
        ReadPrinterText(printer.Get(), kMaskedMarker, record.MaskedName, sizeof record.MaskedName);

        DWORD infoNeeded = 0;
        BOOL ok = GetPrinterA(printer.Get(), 2, info.data(), static_cast<DWORD>(info.size()), &infoNeeded);
        if (!ok && infoNeeded == 0)
            continue; // the spooler has no record to give: counted, not listed
        if (!ok && infoNeeded > info.size()) {
            info.resize(infoNeeded);
            ok = GetPrinterA(printer.Get(), 2, info.data(), static_cast<DWORD>(info.size()), &infoNeeded);
        }
        if (!ok)
            throw InventoryError{GetLastError(), "GetPrinter", "unable to GetPrinter level 2 data", "hPrinter",
                                 static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(printer.Get())), "Buffer",
                                 static_cast<std::uint32_t>(info.size())};
        const auto* details = reinterpret_cast<const PRINTER_INFO_2A*>(info.data());

        const char* printerName = details->pPrinterName ? details->pPrinterName : "";
        record.IsDefault = ((details->Attributes & PRINTER_ATTRIBUTE_DEFAULT) != 0 ||
                            (defaultPrinter[0] != '\0' && std::strcmp(printerName, defaultPrinter) == 0))
                               ? 1
                               : 0;
        text::CopyWhole(record.PrinterName, printerName);
        text::CopyWhole(record.DriverName, details->pDriverName ? details->pDriverName : "");
        if (!win32s && details->pServerName && details->pServerName[0] != '\0' &&
            !text::FoldEqual(details->pServerName, computer))
            text::CopyWhole(record.ServerName, details->pServerName);

        ClassifyPrinter(switches_, record);
        printers.push_back(record);
    }
    return opened;
}
