#include "ServiceWait.h"

#include <algorithm>

namespace {

// A print server with many queues takes a while to stop or start its
// spooler, and the next step must not run before it has. A service reports
// how far it has got; a wait ends when that report stops advancing within its
// own wait hint (never taken as less than kLeastHintMs), and after
// kLongestWaitMs whatever it reports.
constexpr DWORD kLeastHintMs = 5000;
constexpr ULONGLONG kLongestWaitMs = 2 * 60 * 1000;
constexpr DWORD kShortestPollMs = 100;
constexpr DWORD kLongestPollMs = 1000;

} // namespace

DWORD ServiceState(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

bool WaitForServiceState(SC_HANDLE service, DWORD pending, DWORD wanted)
{
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status))
        return false;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG progressed = start;
    DWORD checkPoint = status.dwCheckPoint;
    for (;;) {
        if (status.dwCurrentState == wanted)
            return true;
        if (status.dwCurrentState != pending)
            return false;
        const ULONGLONG now = GetTickCount64();
        if (status.dwCheckPoint > checkPoint) {
            checkPoint = status.dwCheckPoint;
            progressed = now;
        } else if (now - progressed > std::max(status.dwWaitHint, kLeastHintMs)) {
            return false;
        }
        if (now - start >= kLongestWaitMs)
            return false;
        Sleep(std::clamp(status.dwWaitHint / 10, kShortestPollMs, kLongestPollMs));
        if (!QueryServiceStatus(service, &status))
            return false;
    }
}

bool StopServiceAndWait(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        if (GetLastError() != ERROR_SERVICE_CANNOT_ACCEPT_CTRL || ServiceState(service) != SERVICE_STOP_PENDING)
            return false;
    }
    return WaitForServiceState(service, SERVICE_STOP_PENDING, SERVICE_STOPPED);
}
