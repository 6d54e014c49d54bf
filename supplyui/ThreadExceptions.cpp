#include "ThreadExceptions.h"

#include <windows.h>

#include <cstdlib>

namespace {

// Laid out as the runtime's exception-handling ABI defines it.
struct EhGlobals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};

DWORD slot = TLS_OUT_OF_INDEXES;

EhGlobals* Current() { return static_cast<EhGlobals*>(TlsGetValue(slot)); }

void Drop(EhGlobals* record)
{
    TlsSetValue(slot, nullptr);
    HeapFree(GetProcessHeap(), 0, record);
}

} // namespace

// The runtime's two accessors, which the ones in libsupc++ would otherwise provide.
extern "C" EhGlobals* __cxa_get_globals_fast() noexcept { return Current(); }

extern "C" EhGlobals* __cxa_get_globals() noexcept
{
    if (EhGlobals* record = Current())
        return record;
    // Not from the C runtime's heap, whose failure may be the very exception
    // being thrown.
    auto* record = static_cast<EhGlobals*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(EhGlobals)));
    // As the runtime's own copy does when it can't keep the record.
    if (!record || !TlsSetValue(slot, record))
        std::abort();
    return record;
}

bool TakeExceptionSlot()
{
    slot = TlsAlloc();
    return slot != TLS_OUT_OF_INDEXES;
}

void ReturnExceptionSlot()
{
    if (slot == TLS_OUT_OF_INDEXES)
        return;
    if (EhGlobals* record = Current())
        Drop(record);
    TlsFree(slot);
    slot = TLS_OUT_OF_INDEXES;
}

void DropIdleExceptionRecord()
{
    EhGlobals* record = Current();
    if (record && !record->caughtExceptions && record->uncaughtExceptions == 0)
        Drop(record);
}
