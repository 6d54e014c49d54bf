#include "SpoolerKeys.h"

#include "../common/DriverEnvironments.h"

namespace {

constexpr char kWin9xDrivers[] = "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers\\";
constexpr char kNtEnvironments[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";
constexpr char kMonitors[] = "System\\CurrentControlSet\\control\\Print\\Monitors\\";
constexpr char kWin9xProcessors[] =
    "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Print Processors\\";
constexpr char kProcessorEnvironments[] = "System\\CurrentControlSet\\control\\Print\\Environments\\";
constexpr const char* kDriverVersions[] = {"Version-0\\", "Version-1\\", "Version-2\\", "Version-3\\", "Version-4\\"};

void AddNtKeys(std::vector<std::string>& keys, const char* environment, const char* driver)
{
    for (const char* version : kDriverVersions)
        keys.push_back(std::string(kNtEnvironments) + EnvironmentKeyName(environment) + "\\Drivers\\" + version + driver);
}

} // namespace

std::vector<std::string> DriverKeys(const PlatformKind& platform, const char* environment, const char* driver)
{
    std::vector<std::string> keys;
    if (platform.isWin9x())
        keys.push_back(std::string(kWin9xDrivers) + driver);
    else if (platform.isNT())
        AddNtKeys(keys, environment, driver);
    return keys;
}

std::vector<std::string> AnyDriverKeys(const char* environment, const char* driver)
{
    std::vector<std::string> keys{std::string(kWin9xDrivers) + driver};
    AddNtKeys(keys, environment, driver);
    return keys;
}

std::string MonitorKey(const char* monitor)
{
    return std::string(kMonitors) + monitor;
}

std::string PrintProcessorKey(const PlatformKind& platform, const char* environment, const char* processor)
{
    if (platform.isWin9x())
        return std::string(kWin9xProcessors) + processor;
    if (platform.isNT())
        return std::string(kProcessorEnvironments) + EnvironmentKeyName(environment) + "\\Print Processors\\" +
               processor;
    return {};
}
