#include "SpoolerService.h"

#include <windows.h>

#include "../common/Text.h"
#include "ServiceHandle.h"

namespace {

constexpr char kSpoolerService[] = "Spooler";
char serviceName[257] = "Spooler";

// A slow machine takes a while to stop or start its spooler; the next step
// must not run before it has.
constexpr DWORD kStateWaitMs = 5000;
constexpr DWORD kPollMs = 100;

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

bool WaitForState(SC_HANDLE service, DWORD wanted)
{
    const ULONGLONG end = GetTickCount64() + kStateWaitMs;
    for (;;) {
        const DWORD state = CurrentState(service);
        if (state == wanted)
            return true;
        if (state == 0 || GetTickCount64() >= end)
            return false;
        Sleep(kPollMs);
    }
}

} // namespace

void UseServiceAsSpooler(const char* name)
{
    if (!name || !text::CopyWhole(serviceName, name))
        text::CopyWhole(serviceName, kSpoolerService);
}

int StopSpooler()
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
    return WaitForState(spooler.Get(), SERVICE_STOPPED) ? 1 : 0;
}

int StartSpooler()
{
    ServiceHandle manager;
    ServiceHandle spooler = OpenSpooler(manager);
    if (!spooler)
        return 0;
    if (!StartServiceA(spooler.Get(), 0, nullptr)) {
        if (GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            return 0;
        // "Already running" while a stop is pending: the service would stop
        // after all. Wait for that, then start it.
        const DWORD state = CurrentState(spooler.Get());
        if (state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED) {
            if (!WaitForState(spooler.Get(), SERVICE_STOPPED) || !StartServiceA(spooler.Get(), 0, nullptr))
                return 0;
        }
    }
    return WaitForState(spooler.Get(), SERVICE_RUNNING) ? 1 : 0;
}
