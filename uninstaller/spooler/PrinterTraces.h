#pragma once
// The registry traces of one printer of this computer, removed with its queue.

#include <windows.h>

#include <string>
#include <vector>

#include "../door/RemovalState.h"

// Deletes the key below HKEY_CLASSES_ROOT that a queue's "UniqueID" names,
// with everything below it; not when a printer that stays carries the same
// identifier (`staying`), nor when the identifier is no braced one.
void RemoveUniqueIdKey(RemovalState& state, const char* uniqueId, const ItemList& staying = {});

// The "UniqueID" identifiers of the local printers that stay, as the
// inventory read them.
ItemList UniqueIdsOfStayingPrinters(const RemovalState& state);

// The queue's "UniqueID" when it is a braced identifier of at most 32
// characters; false, and an empty text, otherwise.
bool ReadUniqueId(HANDLE printer, char (&id)[33]);

// A user's printer key that holds a value of the printer.
struct UserTrace {
    HKEY Root;
    std::string Key;
    // As the journal names the value.
    std::string Item;
};
using UserTraces = std::vector<UserTrace>;

// Which of the users' printer keys hold a value of the printer now, on NT:
// this run's user's, and every other user's whose hive could be reached.
UserTraces PrinterUserTraces(RemovalState& state, const char* printerName);

// The printer's values in the users' printer keys on NT (`traces`, seen
// before the queue went: the spooler may have taken them along); on Windows
// 9x, the printer's keys of the spooler, deleted by the later registry step.
void RemovePrinterUserTraces(RemovalState& state, const char* printerName, const UserTraces& traces);

// Whether a "UniqueID" value may name a key to delete: a braced identifier
// as the drivers write it. Anything else could name a key of the system.
bool IsBracedIdentifier(const char* value);
