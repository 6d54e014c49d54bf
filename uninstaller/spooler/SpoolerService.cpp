#include "SpoolerService.h"

#include <windows.h>

#include "ServiceHandle.h"

namespace {

constexpr char kSpoolerService[] = "Spooler";

// The spooler service, opened with full access; empty when either open fails.
ServiceHandle OpenSpooler(ServiceHandle& manager)
{
    manager.Attach(OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return ServiceHandle{};
    return ServiceHandle{OpenServiceA(manager.Get(), kSpoolerService, SERVICE_ALL_ACCESS)};
}

} // namespace

int StopSpooler()
{
    ServiceHandle manager;
    ServiceHandle spooler = OpenSpooler(manager);
    if (!spooler)
        return 0;
    SERVICE_STATUS status{};
    return ControlService(spooler.Get(), SERVICE_CONTROL_STOP, &status) ? 1 : 0;
}

int StartSpooler()
{
    ServiceHandle manager;
    ServiceHandle spooler = OpenSpooler(manager);
    if (!spooler)
        return 0;
    if (StartServiceA(spooler.Get(), 0, nullptr))
        return 1;
    return GetLastError() == ERROR_SERVICE_ALREADY_RUNNING ? 1 : 0;
}
