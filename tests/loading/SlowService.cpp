// A stand-in service for the spooler tests: it takes about a second to start
// and about a second to stop, so that the pending states can be seen, which
// Wine's own spooler passes too quickly. Never shipped.
#include <windows.h>

#include "common/Handles.h"

namespace {

constexpr DWORD kSlowMs = 1000;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
KernelHandle stopRequested;

void Report(DWORD state, DWORD waitHint = 0)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = waitHint;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*)
{
    if (control != SERVICE_CONTROL_STOP)
        return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
    Report(SERVICE_STOP_PENDING, 2 * kSlowMs);
    SetEvent(stopRequested.Get());
    return NO_ERROR;
}

void WINAPI Main(DWORD argc, char** argv)
{
    statusHandle = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", Control, nullptr);
    if (!statusHandle)
        return;
    Report(SERVICE_START_PENDING, 2 * kSlowMs);
    Sleep(kSlowMs);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stopRequested.Get(), INFINITE);
    Sleep(kSlowMs);
    Report(SERVICE_STOPPED);
}

} // namespace

int main()
{
    stopRequested.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, Main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
