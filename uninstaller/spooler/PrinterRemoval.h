#pragma once
// The removal of the chosen queues and connections (RemovePrinters, declared
// with the other removal operations) and the choice of a new default printer.

#include "../app/RemovalOperations.h"
#include "../script/ActivePrinter.h"

// Makes `name` the default printer: the default attribute, the "device"
// entry of the user's profile, and the news broadcast to every window. An
// empty `name` is filled with the first printer the spooler lists. 1 when
// anything changed, 0 when the printer could not be opened.
int SetNewDefaultPrinter(RemovalState& state, char (&name)[text::kMaxText]);

// Whether the last database build takes this printer away and it is still
// there to take.
inline bool IsToBeRemoved(const CActivePrinter& printer)
{
    return printer.ToRemove == 1 && printer.Foreign == 0 && printer.Removed == 0;
}
