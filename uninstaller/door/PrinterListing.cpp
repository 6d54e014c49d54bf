#include "PrinterListing.h"

#include <windows.h>
#include <winspool.h>

#include "../common/Journal.h"
#include "../common/TwoCall.h"
#include "Door.h"

namespace {

const char* Text(const char* s) { return s ? s : ""; }

} // namespace

const std::vector<ListedPrinter>* PrinterListing::Now()
{
    if (read_ && changesSeen_ == door_.PrinterChanges())
        return known_ ? &printers_ : nullptr;
    read_ = true;
    changesSeen_ = door_.PrinterChanges();
    printers_.clear();
    DWORD returned = 0;
    const auto listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, data, size, needed,
                             &returned) != FALSE;
    });
    known_ = listed.has_value();
    if (!known_)
        return nullptr;
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(listed->data());
    const DWORD count = listed->empty() ? 0 : returned;
    for (DWORD i = 0; i < count; ++i) {
        const char* name = Text(info[i].pPrinterName);
        if (door_.Gone(journal::op::kPrinter, name) || door_.Gone(journal::op::kConnection, name))
            continue;
        printers_.push_back({name, Text(info[i].pDriverName), Text(info[i].pPortName), Text(info[i].pPrintProcessor),
                             info[i].pServerName && info[i].pServerName[0] != '\0'});
    }
    return &printers_;
}
