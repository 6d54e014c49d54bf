#pragma once
// The C++ runtime's per-thread record of the exceptions in flight, kept in a
// TLS slot that the library takes when it is loaded and returns when it is
// unloaded. The runtime's own copy lives in emulated thread-local storage
// whose threads library takes a TLS slot, two handles and a block at the
// first exception of each load and gives none of them back at the unload.

// Process attach: false when no slot is left.
bool TakeExceptionSlot();
// Unload: the calling thread's record and the slot go.
void ReturnExceptionSlot();
// The calling thread's record goes when no exception is in flight on it; a
// later exception makes a new one. Called as each export returns, so no
// record outlives the call that made it.
void DropIdleExceptionRecord();
