#include "PrinterFilter.h"

#include <cstring>

#include "../common/Text.h"

namespace {

// The callers' buffer for one switch's values; values that don't fit it
// contribute nothing, so no printer matches through them.
constexpr std::size_t kValuesSize = 256;

template <typename Match>
bool AnyValue(const SwitchList& switches, const char* name, Match match)
{
    char values[kValuesSize] = {};
    if (!switches.GetSwitchValues(name, values, sizeof values))
        return false;
    for (const char* value = values; *value; value += std::strlen(value) + 1) {
        if (match(text::StripQuotes(value)))
            return true;
    }
    return false;
}

} // namespace

bool MatchesCommandLine(const SwitchList& switches, const CActivePrinter& printer)
{
    if (switches.FindSwitch("UNVELT") >= 0)
        return printer.MaskedName[0] != '\0';
    if (switches.FindSwitch("MFG") < 0 && switches.FindSwitch("PRN") < 0)
        return true;
    const std::string_view driver = printer.DriverName;
    return AnyValue(switches, "MFG", [&](std::string_view prefix) { return text::FoldStartsWith(driver, prefix); }) ||
           AnyValue(switches, "PRN", [&](std::string_view name) { return text::FoldEqual(driver, name); });
}

bool FilterNamesProfile(const SwitchList& switches, const DatabaseContent& db)
{
    if (switches.FindSwitch("UNVELT") >= 0)
        return false;
    CActivePrinter named;
    for (const UninstallProfile& profile : db.Profiles) {
        if (profile.IsIgnore || !text::CopyWhole(named.DriverName, profile.Name))
            continue;
        if (MatchesCommandLine(switches, named))
            return true;
    }
    return false;
}

void ClassifyPrinter(const SwitchList& switches, CActivePrinter& printer)
{
    if (!printer.IsMakerDriver && printer.MaskedName[0] == '\0')
        printer.Foreign = 1;
    const bool match = MatchesCommandLine(switches, printer);
    printer.Skip = match ? 0 : 1;
    printer.Offered = match ? 1 : 0;
}

void ChooseEveryOfferedPrinter(std::list<CActivePrinter>& printers)
{
    for (CActivePrinter& printer : printers) {
        if (printer.IsOffered())
            printer.Skip = 0;
    }
}
