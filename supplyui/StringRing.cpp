#include "StringRing.h"

#include "framework/ModuleState.h"

std::string LoadLibraryString(UINT id)
{
    // Only the caller's user-interface thread calls in: no per-thread ring.
    static char ring[4][160];
    static int next = 0;
    char* slot = ring[next];
    next = (next + 1) % 4;
    if (LoadStringA(CurrentResourceModule(), id, slot, sizeof ring[0]) <= 0)
        slot[0] = '\0';
    return slot;
}
