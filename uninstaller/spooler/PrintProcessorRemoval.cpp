#include "PrintProcessorRemoval.h"

#include <winspool.h>

#include <string>
#include <vector>

#include "../common/DriverEnvironments.h"
#include "../common/Journal.h"
#include "../common/RegistryReads.h"
#include "../common/TwoCall.h"
#include "../door/SpoolerKeys.h"

namespace {

// `user` names the printer that stays on the processor when one does.
int MovePrintersOff(RemovalState& state, const char* processor, std::string& user)
{
    const std::vector<ListedPrinter>* listed = state.Printers.Now();
    if (!listed) {
        user = "the printers could not be listed";
        return 0;
    }
    // A copy: each move is a change after which the listing is read again.
    const std::vector<ListedPrinter> printers = *listed;
    int result = 1;
    for (const ListedPrinter& p : printers) {
        if (p.Connection || !text::FoldEqual(p.Processor, processor) ||
            state.Changes.MovedOff(p.Name.c_str(), processor))
            continue;
        if (!state.Changes.MovePrinterToProcessor(p.Name.c_str(), processor, kBuiltInPrintProcessor,
                                                  kBuiltInDatatype)) {
            if (result == 1)
                user = journal::Reason("used by printer \"%s\"", p.Name.c_str());
            result = 0;
        }
    }
    return result;
}

} // namespace

void RemovePrintProcessors(RemovalState& state, const char* environment)
{
    if (!state.Database)
        return;
    char* env = const_cast<char*>(environment);
    DWORD returned = 0;
    const auto listed = QueryTwice([&](BYTE* data, DWORD size, DWORD* needed) {
        return EnumPrintProcessorsA(nullptr, env, 1, data, size, needed, &returned) != FALSE;
    });
    if (!listed || listed->empty())
        return;
    const auto* processors = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(listed->data());
    for (DWORD i = 0; i < returned; ++i) {
        const char* name = processors[i].pName;
        // The printers of a removed processor were moved onto this one.
        if (!name || text::FoldEqual(name, kBuiltInPrintProcessor))
            continue;
        if (!HoldsItem(state.Database->Merged.PrintProcessors, name))
            continue;
        std::string user;
        if (!MovePrintersOff(state, name, user)) {
            journal::Kept(journal::op::kPrintProcessor, EnvironmentItem(environment, name).c_str(), user.c_str());
            continue;
        }
        // The key goes with the processor, by the spooler's hand or ours. A
        // processor the spooler keeps keeps its key.
        const std::string key = PrintProcessorKey(state.Platform, environment, name);
        const std::string keyItem = "HKLM\\" + key;
        const bool keyThere = !key.empty() && !state.Changes.KeyGone(keyItem.c_str()) && KeyExists(HKEY_LOCAL_MACHINE, key.c_str());
        if (state.Changes.DeleteProcessor(environment, name) == Deletion::Done && keyThere)
            state.Changes.DeleteRegistryKey(journal::op::kRegistryKey, keyItem.c_str(), HKEY_LOCAL_MACHINE,
                                            key.c_str(), false, true);
    }
}
