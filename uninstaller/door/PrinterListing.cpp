#include "PrinterListing.h"

#include <windows.h>
#include <winspool.h>

#include "../common/Journal.h"
#include "../common/Text.h"
#include "../common/TwoCall.h"
#include "Door.h"

namespace {

const char* Text(const char* s) { return s ? s : ""; }

} // namespace

bool ListedPrinter::UsesPort(std::string_view port) const
{
    std::string_view ports = Port;
    while (!ports.empty()) {
        const std::size_t comma = ports.find(',');
        std::string_view one = ports.substr(0, comma);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (!one.empty() && text::FoldEqual(one, port))
            return true;
        if (comma == std::string_view::npos)
            break;
        ports.remove_prefix(comma + 1);
    }
    return false;
}

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
