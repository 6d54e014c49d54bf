#include "SpoolerService.h"

#include <windows.h>

#include <algorithm>

#include "../common/Text.h"
#include "../common/ServiceHandle.h"

namespace {

char serviceName[257] = "Spooler";

int StopNow();

// A wait that ran out sets no error of its own.
DWORD LastErrorOrTimeout()
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_SERVICE_REQUEST_TIMEOUT;
}

// A print server with many queues takes a while to stop or start its
// spooler, and the next step must not run before it has. The service reports
// how far it has got; a wait ends when that report stops advancing within its
// own wait hint (never taken as less than kLeastHintMs), and after
// kLongestWaitMs whatever it reports.
constexpr DWORD kLeastHintMs = 5000;
constexpr ULONGLONG kLongestWaitMs = 2 * 60 * 1000;
constexpr DWORD kShortestPollMs = 100;
constexpr DWORD kLongestPollMs = 1000;
constexpr DWORD kRetryPauseMs = 1000;

// The spooler service, opened with full access; empty when either open fails.
ServiceHandle OpenSpooler(ServiceHandle& manager)
{
    manager.Attach(OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return ServiceHandle{};
    return ServiceHandle{OpenServiceA(manager.Get(), serviceName, SERVICE_ALL_ACCESS)};
}

// 0 when the state can't be read.
DWORD CurrentState(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

// True once the service is in `wanted`; false as soon as it is in neither
// `wanted` nor `pending`, or its progress stalls.
bool WaitForState(SC_HANDLE service, DWORD pending, DWORD wanted)
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

} // namespace

void UseServiceAsSpooler(const char* name)
{
    if (!name || !text::CopyWhole(serviceName, name))
        text::CopyWhole(serviceName, kSpoolerService);
}

const char* SpoolerServiceName()
{
    return serviceName;
}

bool SpoolerServiceStopped()
{
    ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
    ServiceHandle spooler{manager ? OpenServiceA(manager.Get(), serviceName, SERVICE_QUERY_STATUS) : nullptr};
    return spooler && CurrentState(spooler.Get()) == SERVICE_STOPPED;
}

int StopSpoolerService()
{
    const int stopped = StopNow();
    if (!stopped)
        SetLastError(LastErrorOrTimeout());
    return stopped;
}

namespace {

int StopNow()
{
    ServiceHandle manager;
    ServiceHandle spooler = OpenSpooler(manager);
    if (!spooler)
        return 0;
    SERVICE_STATUS status{};
    if (!ControlService(spooler.Get(), SERVICE_CONTROL_STOP, &status)) {
        // A stop already under way is waited for like one of ours.
        if (GetLastError() != ERROR_SERVICE_CANNOT_ACCEPT_CTRL || CurrentState(spooler.Get()) != SERVICE_STOP_PENDING)
            return 0;
    }
    return WaitForState(spooler.Get(), SERVICE_STOP_PENDING, SERVICE_STOPPED) ? 1 : 0;
}

// One start: refused with 1056 while a stop is pending, the stop is waited
// for and the start made again.
bool StartOnce(SC_HANDLE spooler)
{
    if (!StartServiceA(spooler, 0, nullptr)) {
        if (GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            return false;
        // "Already running" while a stop is pending: the service would stop
        // after all. Wait for that, then start it.
        const DWORD state = CurrentState(spooler);
        if (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED) {
            if (!WaitForState(spooler, SERVICE_STOP_PENDING, SERVICE_STOPPED) || !StartServiceA(spooler, 0, nullptr))
                return false;
        }
    }
    return WaitForState(spooler, SERVICE_START_PENDING, SERVICE_RUNNING);
}

int StartNow()
{
    ServiceHandle manager;
    ServiceHandle spooler = OpenSpooler(manager);
    if (!spooler)
        return 0;
    // A busy machine may refuse the first start (its service process was
    // slow to come up) or show the service stopped a moment longer: one
    // more try before the spooler counts as unstable, since the loading
    // stopped it and must not leave it so.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            Sleep(kRetryPauseMs);
        if (StartOnce(spooler.Get()) || CurrentState(spooler.Get()) == SERVICE_RUNNING)
            return 1;
    }
    return 0;
}

} // namespace

int StartSpoolerService()
{
    const int started = StartNow();
    if (!started)
        SetLastError(LastErrorOrTimeout());
    return started;
}
