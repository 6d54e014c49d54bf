#include "ShellOpen.h"

#include <objbase.h>
#include <shellapi.h>

namespace {

// The shell may hand the address to handlers it activates through COM, so
// COM is initialised on the calling thread for the call. A thread whose COM
// is already initialised keeps it as it was: a successful call is balanced,
// one refused for another apartment kind leaves nothing to balance.
class ComForCall {
public:
    ComForCall() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComForCall()
    {
        if (initialised_)
            CoUninitialize();
    }
    ComForCall(const ComForCall&) = delete;
    ComForCall& operator=(const ComForCall&) = delete;

private:
    bool initialised_;
};

} // namespace

void OpenWithShell(HWND owner, const char* address)
{
    const ComForCall com;
    ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}
