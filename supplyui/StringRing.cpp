#include "StringRing.h"

#include "framework/ResourceModule.h"

namespace {
char ring[4][160];
int next = 0;
// Two UI threads of one host may look texts up at the same time.
SRWLOCK ringLock = SRWLOCK_INIT;

class Exclusive {
public:
    Exclusive() { AcquireSRWLockExclusive(&ringLock); }
    ~Exclusive() { ReleaseSRWLockExclusive(&ringLock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
};
} // namespace

std::string LoadLibraryString(UINT id)
{
    char copy[sizeof ring[0]];
    {
        const Exclusive lock;
        char* slot = ring[next];
        next = (next + 1) % 4;
        if (LoadStringA(ResourceModule(), id, slot, sizeof ring[0]) <= 0)
            slot[0] = '\0';
        lstrcpynA(copy, slot, sizeof copy);
    }
    return copy;
}
