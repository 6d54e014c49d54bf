#include "SpoolerService.h"

#include <windows.h>

#include "../common/Text.h"
#include "../common/ServiceHandle.h"
#include "ServiceWait.h"

namespace {

char serviceName[257] = "Spooler";

int StopNow();

// A wait that ran out sets no error of its own.
DWORD LastErrorOrTimeout()
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_SERVICE_REQUEST_TIMEOUT;
}

constexpr DWORD kRetryPauseMs = 1000;

// The spooler service, opened with full access; empty when either open fails.
ServiceHandle OpenSpooler(ServiceHandle& manager)
{
    manager.Attach(OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return ServiceHandle{};
    return ServiceHandle{OpenServiceA(manager.Get(), serviceName, SERVICE_ALL_ACCESS)};
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
    return spooler && ServiceState(spooler.Get()) == SERVICE_STOPPED;
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
    return StopServiceAndWait(spooler.Get()) ? 1 : 0;
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
        const DWORD state = ServiceState(spooler);
        if (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED) {
            if (!WaitForServiceState(spooler, SERVICE_STOP_PENDING, SERVICE_STOPPED) || !StartServiceA(spooler, 0, nullptr))
                return false;
        }
    }
    return WaitForServiceState(spooler, SERVICE_START_PENDING, SERVICE_RUNNING);
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
        if (StartOnce(spooler.Get()) || ServiceState(spooler.Get()) == SERVICE_RUNNING)
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
