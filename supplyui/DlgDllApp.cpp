// The library's application object: sockets for the process while it is loaded.
#include <winsock2.h>
#include <windows.h>

#include "StringRing.h"
#include "ThreadExceptions.h"
#include "res/resource.h"

// The C++ runtime's emergency exception pool, which it takes at each load
// and otherwise never gives back.
namespace __gnu_cxx {
void __freeres();
}

class CDlgDllApp {
public:
    bool InitInstance()
    {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
            MessageBoxA(nullptr, LoadLibraryString(IDS_SOCKETS_FAILED).c_str(), nullptr, MB_OK | MB_ICONSTOP);
            return false;
        }
        sockets_ = true;
        return true;
    }
    void ExitInstance()
    {
        if (sockets_)
            WSACleanup();
        sockets_ = false;
    }

private:
    bool sockets_ = false;
};

namespace {
CDlgDllApp theApp;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(module);
        if (!TakeExceptionSlot())
            return FALSE;
        if (!theApp.InitInstance()) {
            ReturnExceptionSlot();
            return FALSE;
        }
        return TRUE;
    case DLL_PROCESS_DETACH:
        // The process is ending: its memory, slots and sockets go with it,
        // and nothing more is done under the loader lock.
        if (reserved)
            return TRUE;
        theApp.ExitInstance();
        ReturnExceptionSlot();
        __gnu_cxx::__freeres();
        return TRUE;
    default:
        return TRUE;
    }
}
