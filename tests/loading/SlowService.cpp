// A stand-in service for the spooler tests: it takes about a second to start
// and about a second to stop, so that the pending states can be seen, which
// Wine's own spooler passes too quickly. The argument on the command line it
// is registered with makes its stop slower than that:
//   long-stop    about 7 s, a new checkpoint every 500 ms, a wait hint of 1 s;
//   frozen-stop  about 6.5 s with a checkpoint that stands still, hint 1 s.
// Never shipped.
#include <windows.h>

#include <cstring>

#include "common/Handles.h"

namespace {

constexpr DWORD kSlowMs = 1000;
constexpr DWORD kSlowStopHintMs = 1000;
constexpr DWORD kLongStopMs = 7000;
constexpr DWORD kCheckPointMs = 500;
constexpr DWORD kFrozenStopMs = 6500;

enum class StopKind { Quick, Long, Frozen };

StopKind stopKind = StopKind::Quick;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
KernelHandle stopRequested;

void Report(DWORD state, DWORD waitHint = 0, DWORD checkPoint = 0)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = checkPoint;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*)
{
    if (control != SERVICE_CONTROL_STOP)
        return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
    if (stopKind == StopKind::Quick)
        Report(SERVICE_STOP_PENDING, 2 * kSlowMs);
    else
        Report(SERVICE_STOP_PENDING, kSlowStopHintMs, 1);
    SetEvent(stopRequested.Get());
    return NO_ERROR;
}

void Stop()
{
    switch (stopKind) {
    case StopKind::Quick:
        Sleep(kSlowMs);
        break;
    case StopKind::Long:
        for (DWORD checkPoint = 2; checkPoint <= kLongStopMs / kCheckPointMs; ++checkPoint) {
            Sleep(kCheckPointMs);
            Report(SERVICE_STOP_PENDING, kSlowStopHintMs, checkPoint);
        }
        Sleep(kCheckPointMs);
        break;
    case StopKind::Frozen:
        Sleep(kFrozenStopMs);
        break;
    }
    Report(SERVICE_STOPPED);
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
    Stop();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "long-stop") == 0)
        stopKind = StopKind::Long;
    else if (argc > 1 && std::strcmp(argv[1], "frozen-stop") == 0)
        stopKind = StopKind::Frozen;
    stopRequested.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, Main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
