// The library's application object: sockets for the process while it is loaded.
#include <winsock2.h>
#include <windows.h>

#include "StringRing.h"
#include "ThreadExceptions.h"
#include "res/resource.h"

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

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
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
        theApp.ExitInstance();
        ReturnExceptionSlot();
        return TRUE;
    default:
        return TRUE;
    }
}
